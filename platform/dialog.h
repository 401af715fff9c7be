#pragma once
// Base of every dialog: what the platform's modal loop calls.
#include "platform/messages.h"
#include "platform/window.h"
#include "res/dialog_template.h"

namespace platform {

class Platform;

class Dialog {
public:
    explicit Dialog(const res::DialogTemplate& dialogTemplate) : template_(dialogTemplate) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    const res::DialogTemplate& Template() const { return template_; }

    // Called once the window and its controls exist, before it is shown. Returns true
    // when the platform should give the focus to the first control.
    virtual bool OnInitDialog() { return true; }
    // Sees every message of this window before it is dispatched; true swallows it.
    virtual bool PreTranslateMessage(const Message&) { return false; }
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
        return GetWindow().DefWindowProc(message, wParam, lParam);
    }

    // The window, valid from WM_CREATE until the modal loop ends.
    Window& GetWindow() const { return *window_; }
    bool HasWindow() const { return window_ != nullptr; }
    // Used by the platform only.
    void AttachWindow(Window* window) { window_ = window; }

private:
    const res::DialogTemplate& template_;
    Window* window_ = nullptr;
};

}  // namespace platform
