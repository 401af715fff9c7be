#pragma once
// The engine played as the program plays it, in blocks of 100 samples with the voices
// decaying after each, for a host that asks for any number of frames at a time. A block
// is rendered when its first frame is due, after every note event up to and including
// that frame; an event later in the block changes the voices for the next one. So each
// event takes effect at the first block boundary at or after its frame, the sound does
// not depend on how the host divides its runs, and nothing is rendered ahead of time.
#include <cstdint>

#include "synth/block_renderer.h"
#include "synth/engine.h"

namespace plugin {

class BlockPlayer {
public:
    explicit BlockPlayer(uint32_t sampleRate);

    // Every voice silent and the time base at 0; the next frame starts a new block.
    void Reset();
    // Writes frames samples, a 16-bit sample of 32768 being 1.0.
    void Render(float* out, uint32_t frames);

    synth::Engine engine;

private:
    uint32_t sampleRate_;
    // Chosen once here: RenderSamples would choose on its first call, behind the lock
    // that guards a function's static, and the audio thread must take no lock.
    synth::RenderPath path_;
    int16_t block_[synth::SamplesPerBlock] = {};
    int next_ = synth::SamplesPerBlock;  // the block's next sample to give out; all given
};

}  // namespace plugin
