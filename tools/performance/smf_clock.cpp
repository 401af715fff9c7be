#include "tools/performance/smf_clock.h"

#include <algorithm>

#include "tools/performance/performance.h"

namespace performance {

namespace {

constexpr uint32_t DefaultTempo = 500000;

// num / den rounded to the nearest, if it is at most LongestPerformanceMs.
bool RoundedWithinLongest(uint64_t num, uint64_t den, uint32_t& ms) {
    const uint64_t rounded = num / den + (2 * (num % den) >= den ? 1 : 0);
    if (rounded > LongestPerformanceMs) return false;
    ms = static_cast<uint32_t>(rounded);
    return true;
}

// The time is kept exact in us * ticksPerQuarter, up to the tempo change at or before
// the tick asked for.
class TempoMapClock final : public TickClock {
public:
    TempoMapClock(uint32_t ticksPerQuarter, std::vector<TempoChange> tempos)
        : ticksPerQuarter_(ticksPerQuarter), tempos_(std::move(tempos)) {
        std::stable_sort(
            tempos_.begin(), tempos_.end(),
            [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    }

    bool Milliseconds(uint64_t tick, uint32_t& ms) override {
        while (next_ < tempos_.size() && tempos_[next_].tick <= tick) {
            if (!Advance(tempos_[next_].tick)) return false;
            tempo_ = tempos_[next_++].usPerQuarter;
        }
        if (!Advance(tick)) return false;
        return RoundedWithinLongest(units_, uint64_t{ticksPerQuarter_} * 1000, ms);
    }

private:
    bool Advance(uint64_t tick) {
        uint64_t span = 0;
        if (__builtin_mul_overflow(tick - tick_, uint64_t{tempo_}, &span) ||
            __builtin_add_overflow(units_, span, &units_))
            return false;
        tick_ = tick;
        return true;
    }

    uint32_t ticksPerQuarter_;
    std::vector<TempoChange> tempos_;
    size_t next_ = 0;
    uint64_t tick_ = 0;
    uint64_t units_ = 0;  // us * ticksPerQuarter from the start to tick_
    uint32_t tempo_ = DefaultTempo;
};

// ticksPerSecondNum / ticksPerSecondDen ticks a second, whatever the tempo.
class FrameClock final : public TickClock {
public:
    FrameClock(uint64_t ticksPerSecondNum, uint64_t ticksPerSecondDen)
        : ticksPerSecondNum_(ticksPerSecondNum), ticksPerSecondDen_(ticksPerSecondDen) {}

    bool Milliseconds(uint64_t tick, uint32_t& ms) override {
        uint64_t num = 0;
        if (__builtin_mul_overflow(tick, 1000 * ticksPerSecondDen_, &num)) return false;
        return RoundedWithinLongest(num, ticksPerSecondNum_, ms);
    }

private:
    uint64_t ticksPerSecondNum_;
    uint64_t ticksPerSecondDen_;
};

}  // namespace

std::unique_ptr<TickClock> TempoClock(uint32_t ticksPerQuarter, std::vector<TempoChange> tempos) {
    return std::make_unique<TempoMapClock>(ticksPerQuarter, std::move(tempos));
}

std::unique_ptr<TickClock> SmpteClock(uint32_t division, std::string& fault) {
    const int framesPerSecond = -static_cast<int8_t>(division >> 8);
    const uint64_t ticksPerFrame = division & 0xFF;
    if (ticksPerFrame == 0) {
        fault = "an SMPTE division of 0 ticks per frame";
        return nullptr;
    }
    if (framesPerSecond == 29) return std::make_unique<FrameClock>(30000 * ticksPerFrame, 1001);
    if (framesPerSecond == 24 || framesPerSecond == 25 || framesPerSecond == 30)
        return std::make_unique<FrameClock>(framesPerSecond * ticksPerFrame, 1);
    fault = "an SMPTE division of " + std::to_string(framesPerSecond) +
            " frames a second, not 24, 25, 29 or 30";
    return nullptr;
}

}  // namespace performance
