#pragma once
// Reports every key press and release on a dialog window as WM_KEYDOWN / WM_KEYUP
// before any control sees it, then lets the key go on to the focused control.

namespace platform::desktop {

// Installs the filter once per process; needs the display open. Also asks X for
// detectable auto-repeat, so a held key repeats key-downs without key-ups between.
void InstallKeyboardFilter();

}  // namespace platform::desktop
