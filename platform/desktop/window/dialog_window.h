#pragma once
// A dialog's window on the desktop: an FLTK window built from the dialog's template,
// with the Window operations the dialog asks for and the dispatch of its messages.
#include <memory>
#include <vector>

#include "platform/desktop/window/client_area_window.h"
#include "platform/desktop/window/control_widgets.h"
#include "platform/desktop/window/message_queue.h"
#include "platform/desktop/window/offscreen_context.h"
#include "platform/desktop/window/window_timers.h"
#include "platform/dialog.h"
#include "platform/window.h"

class Fl_Widget;

namespace platform::desktop {

class DialogWindow final : public Window, private ClientAreaEvents {
public:
    // Needs the display open. A modal window keeps input from the windows below it.
    DialogWindow(Dialog& dialog, MessageQueue& queue, bool modal);
    ~DialogWindow() override;

    // Shows the window unless the dialog hid it while it started; focusFirstControl
    // puts the focus on the first control with a tab stop unless the dialog placed it.
    void Show(bool focusFirstControl);
    // Hands one queued message to the dialog: its message filter first, then its
    // window procedure, or the procedure of the timer that produced it.
    void Dispatch(const QueuedMessage& queued);
    bool Ended() const { return ended_; }
    int Result() const { return result_; }

    Fl_Double_Window& Toplevel() const { return *window_; }
    // The widget of the control with this id, or null.
    Fl_Widget* ControlWidget(int id) const;

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
    void OnKey(bool down, bool system, WPARAM virtualKey) override;
    void OnDeactivated() override;
    void OnMouse(UINT message, WPARAM keys, int x, int y) override;
    bool IsOnControl(int x, int y) const override;
    void OnCloseRequest() override;
    void OnExposed() override;

    Control* Find(int id) const;
    SliderControl* FindSlider(int id) const;
    void ApplyFocus();

    Dialog& dialog_;
    MessageQueue& queue_;
    // Declared before the window, so they outlive the widgets it deletes.
    std::vector<std::unique_ptr<Control>> controls_;
    std::unique_ptr<OffscreenContext> picture_;
    std::unique_ptr<ClientAreaWindow> window_;
    WindowTimers timers_;
    Fl_Widget* focus_ = nullptr;  // the control the dialog last gave the focus to
    bool hiddenByDialog_ = false;
    bool paintWaiting_ = false;
    bool ended_ = false;
    int result_ = 0;
};

}  // namespace platform::desktop
