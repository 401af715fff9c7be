#pragma once
// The timers of one window. A due timer asks for a WM_TIMER only when none of its own
// is waiting already, so a busy loop sees one late tick instead of a burst, as on
// Windows.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/window.h"

namespace platform::desktop {

class WindowTimers {
public:
    // post(id) is called from the event loop when timer id is due and nothing of it waits.
    explicit WindowTimers(std::function<void(uint32_t)> post);
    ~WindowTimers();
    WindowTimers(const WindowTimers&) = delete;
    WindowTimers& operator=(const WindowTimers&) = delete;

    // Starts the timer, or restarts it with the new period and procedure.
    void Set(uint32_t id, uint32_t periodMs, TimerProc proc);
    void Kill(uint32_t id);
    // Called when the timer's WM_TIMER leaves the queue: the timer may ask again. False
    // when the timer no longer runs; otherwise proc receives its procedure (maybe empty).
    bool Take(uint32_t id, TimerProc& proc);

private:
    struct Timer {
        WindowTimers* owner;
        uint32_t id;
        double periodSeconds;
        TimerProc proc;
        bool waiting;
    };
    static void OnDue(void* timer);

    std::function<void(uint32_t)> post_;
    std::map<uint32_t, std::unique_ptr<Timer>> timers_;
};

}  // namespace platform::desktop
