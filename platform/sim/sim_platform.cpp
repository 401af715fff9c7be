#include "platform/sim/sim_platform.h"

#include <stdexcept>

namespace sim {

using namespace platform;

SimWindow& SimPlatform::Open(Dialog& dialog) {
    while (!running_.empty()) Finish(*running_.back());
    Create(dialog);
    // A dialog that ended during its initialisation is finished at once.
    if (Main().Ended()) Finish(Main());
    return Main();
}

void SimPlatform::Pump() {
    while (PumpOne()) {
    }
}

bool SimPlatform::PumpOne() {
    SimWindow& main = Main();
    const bool dispatching = !main.Ended() && !queue_.Empty();
    if (dispatching) DispatchNext();
    if (main.Ended()) Finish(main);
    return dispatching;
}

int SimPlatform::RunModal(Dialog& dialog) {
    if (!Create(dialog)) {
        modalRuns_.push_back({dialog.Template().resourceId, -1, false});
        return -1;
    }
    SimWindow& window = *windows_.back();
    bool gaveUp = false;
    while (!window.Ended()) {
        if (!queue_.Empty()) {
            DispatchNext();
            continue;
        }
        // A hook that neither queues, ends nor moves time would leave the loop waiting for ever.
        const uint64_t before = clock_.elapsedMs;
        if (idle_ && idle_(*this) &&
            (!queue_.Empty() || window.Ended() || clock_.elapsedMs != before))
            continue;
        gaveUp = true;
        window.EndDialog(IDOK);
    }
    Finish(window);
    modalRuns_.push_back({window.TemplateId(), window.Result(), gaveUp});
    return window.Result();
}

SimWindow& SimPlatform::Main() {
    if (!main_) throw std::logic_error("no dialog has been opened");
    return *main_;
}

SimWindow& SimPlatform::Top() { return running_.empty() ? Main() : *running_.back(); }

void SimPlatform::SetTickCount(uint32_t ms) {
    clock_.tickBase = ms - static_cast<uint32_t>(clock_.elapsedMs);
}

void SimPlatform::AdvanceTime(uint32_t ms) {
    clock_.elapsedMs += ms;
    for (SimWindow* window : running_)
        if (!window->Ended()) window->PostDueTimers(clock_.elapsedMs);
}

void SimPlatform::RunFor(uint32_t ms) {
    for (uint32_t i = 0; i < ms; ++i) {
        AdvanceTime(1);
        Pump();
    }
}

bool SimPlatform::Create(Dialog& dialog) {
    windows_.push_back(std::make_unique<SimWindow>(dialog, queue_, graphics_, clock_));
    SimWindow& window = *windows_.back();
    if (running_.empty()) main_ = &window;
    // A modal box keeps input from the window beneath it until it is finished.
    if (!running_.empty()) running_.back()->BlockInput(true);
    running_.push_back(&window);
    if (window.Create()) return true;
    window.EndDialog(-1);
    Finish(window);
    return false;
}

void SimPlatform::DispatchNext() {
    const auto next = queue_.Pop();
    // A window whose dialog has ended runs no more handlers; its messages are dropped.
    if (next && !next->target->Destroyed() && !next->target->Ended())
        next->target->Dispatch(next->message, next->fromTimer);
}

void SimPlatform::Finish(SimWindow& window) {
    window.Destroy();
    std::erase(running_, &window);
    if (!running_.empty()) running_.back()->BlockInput(false);
}

}  // namespace sim
