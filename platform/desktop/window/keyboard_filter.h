#pragma once
// Reports every key press and release on a dialog window as WM_KEYDOWN / WM_KEYUP
// (WM_SYSKEYDOWN / WM_SYSKEYUP with Alt held) before any control sees it, then lets
// the key go on to the focused control; and the window losing the keyboard focus.

namespace platform::desktop {

// Installs the filter once per process; needs the display open. Also asks X for
// detectable auto-repeat, so a held key repeats key-downs without key-ups between.
void InstallKeyboardFilter();

}  // namespace platform::desktop
