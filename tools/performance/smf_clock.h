#pragma once
// A Standard MIDI File's ticks as milliseconds from its start, rounded to the nearest
// (halves up). A division in ticks per quarter note runs under the tempo map; an SMPTE
// division counts frames and needs none.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace performance {

struct TempoChange {
    uint64_t tick;
    uint32_t usPerQuarter;
};

class TickClock {
public:
    virtual ~TickClock() = default;
    // Ticks come in ascending order; false when the time is later than a performance
    // may last.
    virtual bool Milliseconds(uint64_t tick, uint32_t& ms) = 0;
};

// Tempo changes from every track, in any order; 500,000 us a quarter before the first.
std::unique_ptr<TickClock> TempoClock(uint32_t ticksPerQuarter, std::vector<TempoChange> tempos);

// The header's division with its top bit set: minus the frames a second in the high
// byte, 24, 25, 29 (meaning 30000/1001) or 30, and ticks per frame in the low byte.
// Null, and why, when either makes no sense.
std::unique_ptr<TickClock> SmpteClock(uint32_t division, std::string& fault);

}  // namespace performance
