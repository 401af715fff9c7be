#include "app/live_renderer.h"

#include <algorithm>

#include "synth/note_control.h"

namespace app {

NoteChange NoteChange::WholeVoice(int note, const synth::Voice& voice) {
    return {Kind::Voice, static_cast<uint8_t>(note), voice, {}};
}

NoteChange NoteChange::ReleaseStepOf(int note, const synth::Voice& voice) {
    return {Kind::ReleaseStep, static_cast<uint8_t>(note), voice, {}};
}

NoteChange NoteChange::Silence() { return {Kind::Silence, 0, {}, {}}; }

NoteChange NoteChange::Weights(const std::array<int32_t, synth::PartialCount>& weights) {
    return {Kind::Weights, 0, {}, weights};
}

LiveRenderer::LiveRenderer(uint32_t sampleRate)
    : sampleRate_(sampleRate),
      path_(synth::RenderPathSupported(synth::RenderPath::Avx2Fma) ? synth::RenderPath::Avx2Fma
                                                                   : synth::RenderPath::Sse2),
      ring_(RingCapacity) {}

void LiveRenderer::Restart(const synth::Engine& engine) {
    engine_.VoiceTable = engine.VoiceTable;
    engine_.HarmonicWeights = engine.HarmonicWeights;
    waiting_.clear();
    applied_.store(handed_.load(std::memory_order_relaxed), std::memory_order_release);
}

void LiveRenderer::Hand(const NoteChange& change) {
    waiting_.push_back(change);
    Flush();
}

void LiveRenderer::Flush() {
    uint64_t handed = handed_.load(std::memory_order_relaxed);
    const uint64_t applied = applied_.load(std::memory_order_acquire);
    for (; !waiting_.empty() && handed - applied < RingCapacity; waiting_.pop_front())
        ring_[handed++ % RingCapacity] = waiting_.front();
    // Release: the changes are in place before the device's thread may see them.
    handed_.store(handed, std::memory_order_release);
}

RenderedSound LiveRenderer::Rendered() const {
    return {frequency_.load(std::memory_order_relaxed), peak_.load(std::memory_order_relaxed),
            clippedBlocks_.load(std::memory_order_relaxed)};
}

void LiveRenderer::RenderBlock(int16_t* samples, size_t count) {
    const uint64_t handed = handed_.load(std::memory_order_acquire);
    uint64_t applied = applied_.load(std::memory_order_relaxed);
    for (; applied != handed; ++applied) Apply(ring_[applied % RingCapacity]);
    // Release: the window's thread may reuse these places only once they are applied.
    applied_.store(applied, std::memory_order_release);

    int16_t block[synth::SamplesPerBlock];
    engine_.PeakSample = 0.0;
    const double frequency = synth::RenderSamplesOn(path_, engine_, sampleRate_, block);
    synth::DecayVoices(engine_);
    const size_t kept = std::min<size_t>(count, synth::SamplesPerBlock);
    std::copy_n(block, kept, samples);
    std::fill(samples + kept, samples + count, int16_t{0});

    frequency_.store(frequency, std::memory_order_relaxed);
    peak_.store(engine_.PeakSample, std::memory_order_relaxed);
    if (engine_.ClipFlag != 0) {
        engine_.ClipFlag = 0;
        clippedBlocks_.fetch_add(1, std::memory_order_relaxed);
    }
}

void LiveRenderer::Apply(const NoteChange& change) {
    switch (change.kind) {
        case NoteChange::Kind::Voice:
            engine_.VoiceTable[change.note] = change.voice;
            break;
        case NoteChange::Kind::ReleaseStep:
            engine_.VoiceTable[change.note].releaseStep = change.voice.releaseStep;
            break;
        case NoteChange::Kind::Silence:
            synth::SilenceVoices(engine_.VoiceTable);
            break;
        case NoteChange::Kind::Weights:
            engine_.HarmonicWeights = change.weights;
            break;
    }
}

}  // namespace app
