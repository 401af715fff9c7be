#pragma once
// A dialog's window on Windows: a real dialog made by the dialog manager from the
// dialog's template, its controls the system's own, its messages handed to the dialog.
#include "platform/win32/windows_api.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>

#include "platform/dialog.h"
#include "platform/win32/gdi_context.h"
#include "platform/window.h"

namespace platform::win32 {

class DialogWindow final : public Window {
public:
    explicit DialogWindow(Dialog& dialog);
    ~DialogWindow() override;
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Creates the window and its controls, owned by owner (null for none), and runs
    // WM_CREATE and OnInitDialog. False when the window could not be made or the
    // dialog refused WM_CREATE.
    bool Create(HWND owner);
    // Shows the window unless the dialog hid it while it started.
    void Show();
    HWND Handle() const { return hwnd_; }
    bool Ended() const { return ended_; }
    int Result() const { return result_; }
    // Offers a queued message of this window or one of its controls to the dialog's
    // message filter; true when the filter swallowed it. An MM_WOM_DONE leaves carrying
    // the program's header in place of the system's, which the filter may have freed.
    bool PreTranslate(MSG& msg);

    std::string GetDlgItemText(int id) const override;
    void SetDlgItemText(int id, std::string_view text) override;
    void EnableDlgItem(int id, bool enable) override;
    bool IsDlgItemEnabled(int id) const override;
    void SetFocusTo(int id) override;
    void SetSliderRange(int id, int minimum, int maximum, bool redraw) override;
    void SetSliderPos(int id, int position, bool redraw) override;
    int GetSliderPos(int id) const override;
    void SetSliderColor(int id, std::optional<ColorRef> color) override;

    void SetWindowText(std::string_view text) override;
    void ShowWindow(int showCommand) override;
    bool IsIconic() const override;
    Rect GetClientRect() const override;
    int GetSystemMetrics(int index) const override;

    void SetTimer(uint32_t id, uint32_t periodMs, TimerProc proc = nullptr) override;
    void KillTimer(uint32_t id) override;

    DeviceContext* GetDC() override;
    void ReleaseDC(DeviceContext* dc) override;
    DeviceContext* BeginPaint() override;
    void EndPaint(DeviceContext* dc) override;

    void PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void EndDialog(int result) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, ::UINT message, ::WPARAM wParam,
                                       ::LPARAM lParam);
    static void CALLBACK TimerProcedure(HWND hwnd, ::UINT message, UINT_PTR id, DWORD time);
    INT_PTR OnInitDialog(HWND hwnd);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    // The id of the slider a right-button click was on; nothing for another window
    // or for the keyboard's menu key, which are the system's.
    std::optional<int> ClickedSlider(WPARAM window, LPARAM point) const;

    Dialog& dialog_;
    HWND hwnd_ = nullptr;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    std::map<uint32_t, TimerProc> timerProcs_;
    std::map<int, std::pair<ColorRef, HBRUSH>> sliderColors_;  // by slider id
    std::unique_ptr<GdiContext> context_;  // the one GetDC handed out
    std::unique_ptr<GdiContext> paintContext_;
    PAINTSTRUCT paint_{};
    bool createRefused_ = false;
    std::optional<int> focusId_;  // the control the dialog last gave the focus to
    bool hiddenByDialog_ = false;
    // Set when the dialog hands a message back to the system's own handling.
    bool toSystem_ = false;
    bool ended_ = false;
    int result_ = 0;
};

}  // namespace platform::win32
