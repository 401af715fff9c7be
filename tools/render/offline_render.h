#pragma once
// A performance rendered as the program would play it, block by block, with no device:
// the same renderer in the same 100-sample blocks at 44100 Hz, the same decay after
// every block, and voices struck and released as the program's note events do.
//
// An event t ms after the first one takes effect at the first block that starts at or
// after sample t * 44.1. Repeated passes follow each other as the replay's do: a pass
// begins 1 ms after the last event of the pass before, the timer tick on which the
// replay ends a pass. After the last event the blocks go on until every voice is
// silent, for at most 60 s, so a release is never cut short.
#include <cstdint>
#include <optional>

#include "app/tone_settings.h"
#include "synth/engine.h"
#include "tools/performance/performance.h"

namespace render {

constexpr uint32_t EngineRate = 44100;
constexpr uint64_t LongestTailBlocks = 60 * EngineRate / synth::SamplesPerBlock;

// The block in which an event ms milliseconds after the first one takes effect.
constexpr uint64_t BlockAt(uint64_t ms) {
    constexpr uint64_t SamplesPerBlockMs = 1000 * synth::SamplesPerBlock;  // blocks in sample-ms
    return (ms * EngineRate + SamplesPerBlockMs - 1) / SamplesPerBlockMs;
}

// The time of the last event of the last pass after the first event, or nothing when
// that is later than a performance may last.
std::optional<uint64_t> RenderedSpanMs(const performance::Performance& events, uint32_t passes);

class OfflineRenderer {
public:
    // events must not be empty, and their span over every pass must be within
    // LongestPerformanceMs (RenderedSpanMs).
    OfflineRenderer(const performance::Performance& events, const app::Tone& tone,
                    int32_t amplitude, uint32_t passes);

    // The next block of samples; false when the rendering is over.
    bool NextBlock(int16_t* out);

    uint64_t BlocksRendered() const { return block_; }
    // The block in which the last event takes effect: the end of the performance proper.
    uint64_t LastEventBlock() const { return lastEventBlock_; }

private:
    uint64_t EventBlock(uint64_t index) const;
    bool AnyVoiceSounds() const;

    const performance::Performance& events_;
    int32_t amplitude_;
    uint64_t passMs_;
    uint64_t eventCount_;  // over every pass
    uint64_t next_ = 0;    // the next event to apply, counted over every pass
    uint64_t block_ = 0;   // the next block to render
    uint64_t lastEventBlock_;
    synth::Engine engine_;
};

}  // namespace render
