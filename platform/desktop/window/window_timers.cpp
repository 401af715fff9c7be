#include "platform/desktop/window/window_timers.h"

#include <FL/Fl.H>

#include <algorithm>

namespace platform::desktop {

WindowTimers::WindowTimers(std::function<void(uint32_t)> post) : post_(std::move(post)) {}

WindowTimers::~WindowTimers() {
    for (auto& [id, timer] : timers_) Fl::remove_timeout(&OnDue, timer.get());
}

void WindowTimers::Set(uint32_t id, uint32_t periodMs, TimerProc proc) {
    auto& timer = timers_[id];
    if (timer) {
        Fl::remove_timeout(&OnDue, timer.get());
    } else {
        timer = std::make_unique<Timer>(Timer{this, id, 0.0, nullptr, false});
    }
    timer->periodSeconds = std::max<uint32_t>(periodMs, 1) / 1000.0;
    timer->proc = std::move(proc);
    Fl::add_timeout(timer->periodSeconds, &OnDue, timer.get());
}

void WindowTimers::Kill(uint32_t id) {
    const auto found = timers_.find(id);
    if (found == timers_.end()) return;
    Fl::remove_timeout(&OnDue, found->second.get());
    timers_.erase(found);
}

bool WindowTimers::Take(uint32_t id, TimerProc& proc) {
    const auto found = timers_.find(id);
    if (found == timers_.end()) return false;
    found->second->waiting = false;
    proc = found->second->proc;
    return true;
}

void WindowTimers::OnDue(void* data) {
    auto* timer = static_cast<Timer*>(data);
    // Scheduled from the moment it was due, so the period does not drift.
    Fl::repeat_timeout(timer->periodSeconds, &OnDue, timer);
    if (timer->waiting) return;
    timer->waiting = true;
    timer->owner->post_(timer->id);
}

}  // namespace platform::desktop
