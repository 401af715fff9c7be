#include "tools/render/offline_render.h"

#include "synth/block_renderer.h"
#include "synth/note_control.h"

namespace render {

namespace {

uint64_t OffsetMs(const performance::Performance& events, size_t i) {
    return events[i].timeMs - events.front().timeMs;
}

}  // namespace

std::optional<uint64_t> RenderedSpanMs(const performance::Performance& events, uint32_t passes) {
    if (events.empty()) return 0;
    const uint64_t last = OffsetMs(events, events.size() - 1);
    const uint64_t span = (passes - 1) * (last + 1) + last;
    if (span > performance::LongestPerformanceMs) return std::nullopt;
    return span;
}

OfflineRenderer::OfflineRenderer(const performance::Performance& events, const app::Tone& tone,
                                 int32_t amplitude, uint32_t passes)
    : events_(events),
      amplitude_(amplitude),
      passMs_(OffsetMs(events, events.size() - 1) + 1),
      eventCount_(uint64_t{passes} * events.size()),
      lastEventBlock_(EventBlock(eventCount_ - 1)) {
    engine_.HarmonicWeights = tone.HarmonicWeights;
    engine_.NoteOffRelease = tone.NoteOffRelease;
}

uint64_t OfflineRenderer::EventBlock(uint64_t index) const {
    const uint64_t pass = index / events_.size();
    return BlockAt(pass * passMs_ + OffsetMs(events_, index % events_.size()));
}

bool OfflineRenderer::AnyVoiceSounds() const {
    for (const synth::Voice& voice : engine_.VoiceTable)
        if (voice.active != 0) return true;
    return false;
}

bool OfflineRenderer::NextBlock(int16_t* out) {
    for (; next_ < eventCount_ && EventBlock(next_) <= block_; ++next_) {
        const performance::TimedNote& event = events_[next_ % events_.size()];
        synth::Voice& voice = engine_.VoiceTable[event.note];
        if (event.velocity != 0)
            synth::StrikeVoice(voice, amplitude_, event.velocity);
        else
            synth::ReleaseVoice(voice, engine_.NoteOffRelease);
    }
    if (block_ >= lastEventBlock_ &&
        (!AnyVoiceSounds() || block_ - lastEventBlock_ >= LongestTailBlocks))
        return false;
    synth::RenderSamples(engine_, EngineRate, out);
    synth::DecayVoices(engine_);
    ++block_;
    return true;
}

}  // namespace render
