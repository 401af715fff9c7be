#include "app/about_dialog.h"

#include "res/dialog_template.h"

namespace app {

using namespace platform;

AboutDialog::AboutDialog() : Dialog(res::AboutDialogTemplate) {}

// Only the dialog's own default handling: "OK" ends it, and so do Esc and its close box.
LRESULT AboutDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && CommandCode(wParam) == BN_CLICKED &&
        (CommandId(wParam) == IDOK || CommandId(wParam) == IDCANCEL)) {
        GetWindow().EndDialog(CommandId(wParam));
        return 0;
    }
    if (message == WM_CLOSE) {
        GetWindow().EndDialog(IDCANCEL);
        return 0;
    }
    return GetWindow().DefWindowProc(message, wParam, lParam);
}

}  // namespace app
