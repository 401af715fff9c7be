#pragma once
// A dialog's window in the simulation: its controls as the template built them, its
// timers, its drawing contexts and its title, all readable by a test; and the user's
// side of it: clicks, keys, typing and slider drags, queued as the system would.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/dialog.h"
#include "platform/window.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_graphics.h"
#include "platform/sim/sim_message_queue.h"
#include "res/dialog_template.h"

namespace sim {

struct SimControl {
    int id;
    res::ControlClass cls;
    uint32_t style;
    std::string text;
    bool enabled;
    int sliderMin = 0, sliderMax = 0, sliderPos = 0;
    int shownPos = 0;  // where the thumb is drawn: a move without a redraw is not seen yet
    std::optional<platform::ColorRef> sliderColor = std::nullopt;
};

struct SimTimer {
    uint32_t id;
    uint32_t periodMs;
    platform::TimerProc proc;  // empty: WM_TIMER goes to the window procedure
    uint64_t nextDueMs;
};

// One SetTimer or KillTimer call, in the order the dialog made them.
struct TimerCall {
    bool set;  // false: KillTimer
    uint32_t id;
    uint32_t periodMs;  // SetTimer only
    bool hasProc;       // SetTimer only

    bool operator==(const TimerCall&) const = default;
};

class SimWindow final : public platform::Window {
public:
    SimWindow(platform::Dialog& dialog, SimMessageQueue& queue, SimGraphics& graphics,
              const SimClock& clock);

    // platform::Window
    std::string GetDlgItemText(int id) const override;
    void SetDlgItemText(int id, std::string_view text) override;
    void EnableDlgItem(int id, bool enable) override;
    bool IsDlgItemEnabled(int id) const override;
    void SetFocusTo(int id) override;
    void SetSliderRange(int id, int minimum, int maximum, bool redraw) override;
    void SetSliderPos(int id, int position, bool redraw) override;
    int GetSliderPos(int id) const override;
    void SetSliderColor(int id, std::optional<platform::ColorRef> color) override;
    void SetWindowText(std::string_view text) override;
    void ShowWindow(int showCommand) override;
    bool IsIconic() const override { return iconic_; }
    platform::Rect GetClientRect() const override;
    int GetSystemMetrics(int index) const override;
    void SetTimer(uint32_t id, uint32_t periodMs, platform::TimerProc proc = nullptr) override;
    void KillTimer(uint32_t id) override;
    platform::DeviceContext* GetDC() override;
    void ReleaseDC(platform::DeviceContext* dc) override;
    platform::DeviceContext* BeginPaint() override;
    void EndPaint(platform::DeviceContext* dc) override;
    void PostMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) override;
    platform::LRESULT SendMessage(platform::UINT message, platform::WPARAM wParam,
                                  platform::LPARAM lParam) override;
    platform::LRESULT DefWindowProc(platform::UINT message, platform::WPARAM wParam,
                                    platform::LPARAM lParam) override;
    void EndDialog(int result) override;

    // What a test reads. An id the template does not have throws std::out_of_range.
    int TemplateId() const { return templateId_; }
    const SimControl& Control(int id) const;
    std::string Text(int id) const { return Control(id).text; }
    bool Enabled(int id) const { return Control(id).enabled; }
    int SliderPos(int id) const { return Control(id).sliderPos; }
    int ShownSliderPos(int id) const { return Control(id).shownPos; }
    std::optional<platform::ColorRef> SliderColor(int id) const { return Control(id).sliderColor; }
    std::pair<int, int> SliderRange(int id) const;
    int Focus() const { return focus_; }  // the focused control's id, 0 for none
    const std::string& Title() const { return title_; }
    bool Shown() const { return shown_; }
    const std::vector<int>& ShowCalls() const { return showCalls_; }
    const std::vector<TimerCall>& TimerCalls() const { return timerCalls_; }
    bool HasTimer(uint32_t id) const { return FindTimer(id) != nullptr; }
    const SimTimer& Timer(uint32_t id) const;
    // Messages that reached DefWindowProc, in order.
    const std::vector<platform::Message>& DefaultProcessed() const { return defaultProcessed_; }
    // Calls naming a control the window lacks, or of the wrong kind.
    const std::vector<std::string>& Problems() const { return problems_; }
    bool Ended() const { return ended_; }
    int Result() const { return result_; }
    bool Destroyed() const { return destroyed_; }

    // What a test arranges.
    void SetIconic(bool iconic) { iconic_ = iconic; }

    // The user's actions. Each returns false and does nothing when the control is
    // disabled, or, for typing, read-only: as on screen. While a modal box runs over
    // the window, the window takes no input at all.
    bool Click(int id);
    bool Type(int id, std::string_view text);
    bool DragSlider(int id, int position);
    // A right-button click on a slider: the thumb stays where it is.
    bool RightClickSlider(int id);
    void KeyDown(platform::WPARAM virtualKey, bool autoRepeat = false);
    void KeyUp(platform::WPARAM virtualKey);
    // Keys pressed and released with Alt held: the system's keys.
    void SysKeyDown(platform::WPARAM virtualKey);
    void SysKeyUp(platform::WPARAM virtualKey);
    // Another window takes the keyboard focus.
    void Deactivate() { PostMessage(platform::WM_ACTIVATE, platform::WA_INACTIVE, 0); }
    // The pointer over the client area, away from every control, in client pixels:
    // a left-button press, and a move with the buttons given as MK_ flags held.
    void LButtonDown(int x, int y);
    void MouseMove(int x, int y, platform::WPARAM buttons);
    void SysCommand(platform::WPARAM code);
    void Paint() { PostMessage(platform::WM_PAINT, 0, 0); }
    void Post(platform::UINT message, platform::WPARAM wParam = 0, platform::LPARAM lParam = 0) {
        PostMessage(message, wParam, lParam);
    }
    // Queues WM_TIMER for the timer unless one is already waiting, as the system does.
    void FireTimer(uint32_t id);

    // Used by SimPlatform.
    bool Create();  // WM_CREATE, OnInitDialog, showing; false when WM_CREATE refused
    // A timer's tick calls the timer's procedure, if it has one; a WM_TIMER posted by
    // hand reaches the window procedure like any other message.
    void Dispatch(const platform::Message& message, bool fromTimer);
    void PostDueTimers(uint64_t nowMs);
    void BlockInput(bool blocked) { inputBlocked_ = blocked; }
    void Destroy();

private:
    SimControl& ControlForUser(int id);
    SimControl* Find(int id, const char* call);
    const SimControl* Find(int id, const char* call) const;
    SimControl* FindSlider(int id, const char* call);
    const SimTimer* FindTimer(uint32_t id) const;
    void FocusFirstTabStop();
    // Queues a message of the user's, unless a modal box keeps input from the window.
    void PostInput(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam);

    platform::Dialog* dialog_;
    SimMessageQueue& queue_;
    SimGraphics& graphics_;
    const SimClock& clock_;
    int templateId_;
    platform::Rect clientRect_;
    std::vector<SimControl> controls_;
    std::string title_;
    int focus_ = 0;
    bool shown_ = false;
    bool iconic_ = false;
    bool inputBlocked_ = false;
    std::vector<int> showCalls_;
    std::vector<SimTimer> timers_;
    std::vector<TimerCall> timerCalls_;
    std::vector<platform::Message> defaultProcessed_;
    mutable std::vector<std::string> problems_;
    bool ended_ = false;
    int result_ = 0;
    bool destroyed_ = false;
};

}  // namespace sim
