#pragma once
// What the dialog asks of its window: its controls by id, its timers, drawing
// contexts, showing and hiding, and messages.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/device_context.h"
#include "platform/messages.h"

namespace platform {

struct Rect {
    int left, top, right, bottom;
};

// Called by the modal loop for a timer started with a procedure, instead of WM_TIMER
// reaching the window procedure.
using TimerProc = std::function<void()>;

class Window {
public:
    virtual ~Window() = default;

    // Controls, by id.
    virtual std::string GetDlgItemText(int id) const = 0;
    virtual void SetDlgItemText(int id, std::string_view text) = 0;
    virtual void EnableDlgItem(int id, bool enable) = 0;
    virtual bool IsDlgItemEnabled(int id) const = 0;
    virtual void SetFocusTo(int id) = 0;
    virtual void SetSliderRange(int id, int minimum, int maximum, bool redraw) = 0;
    // A position outside the range is clamped to the nearer end.
    virtual void SetSliderPos(int id, int position, bool redraw) = 0;
    virtual int GetSliderPos(int id) const = 0;
    // The slider drawn on this colour instead of the dialog's, or as usual again when none.
    virtual void SetSliderColor(int id, std::optional<ColorRef> color) = 0;

    // The window itself.
    virtual void SetWindowText(std::string_view text) = 0;
    virtual void ShowWindow(int showCommand) = 0;
    virtual bool IsIconic() const = 0;
    virtual Rect GetClientRect() const = 0;
    virtual int GetSystemMetrics(int index) const = 0;

    // Timers deliver WM_TIMER with the id in wParam, or call proc when one is given.
    virtual void SetTimer(uint32_t id, uint32_t periodMs, TimerProc proc = nullptr) = 0;
    virtual void KillTimer(uint32_t id) = 0;

    // A client-area drawing context, outside the paint cycle; give it back with ReleaseDC.
    virtual DeviceContext* GetDC() = 0;
    virtual void ReleaseDC(DeviceContext* dc) = 0;
    // The paint cycle's context, for WM_PAINT only.
    virtual DeviceContext* BeginPaint() = 0;
    virtual void EndPaint(DeviceContext* dc) = 0;

    // Queued behind every message already waiting; safe from the UI thread only.
    virtual void PostMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Runs the window procedure at once and returns its result.
    virtual LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The system's own handling of a message the dialog does not take.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Leaves the modal loop once the current message is handled.
    virtual void EndDialog(int result) = 0;
};

}  // namespace platform
