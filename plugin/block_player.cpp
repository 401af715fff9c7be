#include "plugin/block_player.h"

namespace plugin {

BlockPlayer::BlockPlayer(uint32_t sampleRate)
    : sampleRate_(sampleRate),
      path_(synth::RenderPathSupported(synth::RenderPath::Avx2Fma) ? synth::RenderPath::Avx2Fma
                                                                   : synth::RenderPath::Sse2) {}

void BlockPlayer::Reset() {
    for (synth::Voice& voice : engine.VoiceTable) voice = synth::Voice{0, 0.0, 0.0};
    engine.SampleCounter = 0;
    next_ = synth::SamplesPerBlock;
}

void BlockPlayer::Render(float* out, uint32_t frames) {
    constexpr float FullScale = 32768.0f;
    for (uint32_t i = 0; i < frames; ++i) {
        if (next_ == synth::SamplesPerBlock) {
            synth::RenderSamplesOn(path_, engine, sampleRate_, block_);
            synth::DecayVoices(engine);
            next_ = 0;
        }
        out[i] = static_cast<float>(block_[next_++]) / FullScale;
    }
}

}  // namespace plugin
