#pragma once
// What the system does with a message a dialog leaves alone, the same on every
// platform, so a test of one platform's dialogs holds for the others. A platform's
// Window::DefWindowProc hands its messages here; a message it handles itself (one
// that needs the platform's own windowing) it takes before calling this.
#include "platform/messages.h"
#include "platform/window.h"

namespace platform {

// - WM_SYSCOMMAND SC_CLOSE: sends WM_CLOSE, so a system close is a close request.
// - WM_CLOSE: posts Cancel (IDCANCEL, BN_CLICKED), as a dialog's Esc would.
// - WM_COMMAND OK or Cancel: ends the dialog with that id.
// - WM_PAINT: an empty paint cycle, which marks the window as painted.
// - anything else: nothing; the result is 0.
LRESULT DefaultDialogProc(Window& window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace platform
