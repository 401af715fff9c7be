#pragma once
// The simulated clock: time passes only when a test moves it.
#include <cstdint>

namespace sim {

struct SimClock {
    uint64_t elapsedMs = 0;  // since the simulation began; timers run on it
    uint32_t tickBase = 0;   // what GetTickCount showed when elapsedMs was 0

    // Wraps at 2^32 like the system's tick count.
    uint32_t TickCount() const { return static_cast<uint32_t>(tickBase + elapsedMs); }
};

}  // namespace sim
