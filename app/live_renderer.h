#pragma once
// The renderer that runs on the sound device's own thread when the output keeps fewer
// than the designed 60 blocks in flight. The window's thread keeps the note state as it
// always does and hands every change of it over: a voice struck or released, "Reset
// Sound", new weights. The changes travel in order through a ring that neither thread
// waits on; before each block the device's thread applies those that have come. It
// renders with the engine's own renderer, decays its voices after each block, and
// reports each block's frequency, peak and clipping back through atomics.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/wave_out.h"
#include "synth/block_renderer.h"
#include "synth/engine.h"

namespace app {

// One change of the note state, as its writer made it.
struct NoteChange {
    enum class Kind : uint8_t { Voice, ReleaseStep, Silence, Weights };

    // The voice as a strike left it, all of it.
    static NoteChange WholeVoice(int note, const synth::Voice& voice);
    // Only the release step, as a release sets it.
    static NoteChange ReleaseStepOf(int note, const synth::Voice& voice);
    // Every voice silenced, as "Reset Sound" does.
    static NoteChange Silence();
    static NoteChange Weights(const std::array<int32_t, synth::PartialCount>& weights);

    Kind kind;
    uint8_t note;
    synth::Voice voice;
    std::array<int32_t, synth::PartialCount> weights;
};

// What the device's thread rendered last.
struct RenderedSound {
    double frequency;        // of the highest-numbered sounding voice; 0 when none sounds
    double peak;             // the block's largest sample
    uint64_t clippedBlocks;  // blocks so far that had a sample clipped
};

class LiveRenderer final : public platform::BlockRenderer {
public:
    explicit LiveRenderer(uint32_t sampleRate);

    // Window's thread, while no device renders: the voices and weights to go on from.
    // Changes handed over before and not yet rendered are dropped, since the state
    // given holds them. The time base goes on from the last block rendered.
    void Restart(const synth::Engine& engine);
    // Window's thread: a change for the next block. While the ring is full, changes
    // wait on this side, in order, for the next Hand or Flush.
    void Hand(const NoteChange& change);
    void Flush();
    RenderedSound Rendered() const;

    // The device's thread: one block of the engine's SamplesPerBlock samples, cut or
    // padded with silence to count.
    void RenderBlock(int16_t* samples, size_t count) override;

private:
    static constexpr size_t RingCapacity = 4096;  // a power of two

    void Apply(const NoteChange& change);

    const uint32_t sampleRate_;
    const synth::RenderPath path_;  // chosen here, so the device's thread never waits on it
    synth::Engine engine_;          // the device's thread's own, outside Restart
    std::vector<NoteChange> ring_;
    alignas(64) std::atomic<uint64_t> handed_{0};   // advanced by the window's thread
    alignas(64) std::atomic<uint64_t> applied_{0};  // advanced by the device's thread
    std::deque<NoteChange> waiting_;                 // the window's thread's own
    std::atomic<double> frequency_{0.0};
    std::atomic<double> peak_{0.0};
    std::atomic<uint64_t> clippedBlocks_{0};
};

}  // namespace app
