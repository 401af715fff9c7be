// The timers of a desktop window, on FLTK's event loop alone: no display is needed.
#include <gtest/gtest.h>

#include <FL/Fl.H>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/desktop/window/window_timers.h"

namespace platform::desktop {
namespace {

using namespace std::chrono_literals;

// Runs the event loop until the condition holds, for a minute at most.
bool LoopUntil(const std::function<bool()>& condition) {
    for (auto end = std::chrono::steady_clock::now() + 60s;
         !condition() && std::chrono::steady_clock::now() < end;)
        Fl::wait(0.01);
    return condition();
}

TEST(WindowTimers, ALateTimerLeavesOneTickWaitingNotABurst) {
    std::vector<uint32_t> posted;
    const auto count = [&](uint32_t id) { return std::count(posted.begin(), posted.end(), id); };
    WindowTimers timers([&](uint32_t id) { posted.push_back(id); });
    timers.Set(7, 1, nullptr);
    std::this_thread::sleep_for(30ms);  // about 30 periods pass with nobody serving
    // A slower timer marks the time: once it has asked, the first has had time to burst.
    timers.Set(8, 20, nullptr);
    ASSERT_TRUE(LoopUntil([&] { return count(8) == 1; }));
    EXPECT_EQ(count(7), 1);

    TimerProc proc;
    ASSERT_TRUE(timers.Take(7, proc));
    EXPECT_FALSE(proc);
    EXPECT_TRUE(LoopUntil([&] { return count(7) == 2; })) << "the timer asks again once its tick was taken";

    timers.Kill(7);
    EXPECT_FALSE(timers.Take(7, proc));
    ASSERT_TRUE(timers.Take(8, proc));
    ASSERT_TRUE(LoopUntil([&] { return count(8) == 2; }));
    EXPECT_EQ(count(7), 2) << "a killed timer asked again";
}

}  // namespace
}  // namespace platform::desktop
