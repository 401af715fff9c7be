#include "platform/default_dialog_proc.h"

namespace platform {

LRESULT DefaultDialogProc(Window& window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) return window.SendMessage(WM_CLOSE, 0, 0);
            return 0;
        case WM_CLOSE:
            window.PostMessage(WM_COMMAND, MakeCommand(IDCANCEL, BN_CLICKED), 0);
            return 0;
        case WM_COMMAND: {
            const int id = CommandId(wParam);
            if (CommandCode(wParam) == BN_CLICKED && (id == IDOK || id == IDCANCEL))
                window.EndDialog(id);
            return 0;
        }
        case WM_PAINT:
            window.EndPaint(window.BeginPaint());
            return 0;
        default:
            return 0;
    }
}

}  // namespace platform
