#include "platform/win32/win32_platform.h"

#include <algorithm>
#include <memory>

#include "platform/win32/dialog_window.h"

namespace platform::win32 {

Win32Platform::Win32Platform() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
}

uint32_t Win32Platform::GetTickCount() { return ::GetTickCount(); }

int Win32Platform::RunModal(Dialog& dialog) {
    const HWND owner = windows_.empty() ? nullptr : windows_.back()->Handle();
    auto window = std::make_unique<DialogWindow>(dialog);
    windows_.push_back(window.get());
    int result = -1;
    if (owner) EnableWindow(owner, FALSE);
    if (window->Create(owner)) {
        if (!window->Ended()) {
            window->Show();
            RunLoop(*window);
        }
        result = window->Result();
    }
    if (owner) EnableWindow(owner, TRUE);
    windows_.pop_back();
    dialog.AttachWindow(nullptr);
    return result;
}

// Serves every window's messages until this window's dialog ends. A message for a
// dialog or any of its controls passes its message filter first; IsDialogMessage is
// never called, so Tab, Enter and Esc do not operate the dialog.
void Win32Platform::RunLoop(const DialogWindow& window) {
    MSG msg{};
    while (!window.Ended()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) return;
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loops below this one
            return;
        }
        DialogWindow* target = WindowFor(msg.hwnd);
        if (target && target->PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

DialogWindow* Win32Platform::WindowFor(HWND hwnd) const {
    if (!hwnd) return nullptr;
    const HWND root = GetAncestor(hwnd, GA_ROOT);
    const auto found = std::find_if(windows_.begin(), windows_.end(),
                                    [&](const DialogWindow* w) { return w->Handle() == root; });
    return found == windows_.end() ? nullptr : *found;
}

}  // namespace platform::win32
