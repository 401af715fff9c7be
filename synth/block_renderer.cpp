#include "synth/block_renderer.h"

#include <cmath>

#include "synth/harmonic_sample.h"
#include "synth/pitch.h"

namespace synth {

double SamplePhase(int32_t n, uint32_t sampleRate) {
    // 2n wraps in 32 bits past 2^30 samples (hours of unbroken sound) rather than overflow.
    const auto twiceN = static_cast<int32_t>(2u * static_cast<uint32_t>(n));
    return static_cast<double>(twiceN) * 3.1415926 / static_cast<double>(sampleRate);
}

int32_t NextSampleCounter(int32_t n) {
    return static_cast<int32_t>(static_cast<uint32_t>(n) + 1u);
}

double ClipSample(double s, uint8_t& clipFlag) {
    if (s > ClipLimit) {
        clipFlag = 1;
        return ClipLimit;
    }
    if (s < -ClipLimit) {
        clipFlag = 1;
        return -ClipLimit;
    }
    return s;
}

double RenderSamples(Engine& engine, uint32_t sampleRate, int16_t* out) {
    double shownFrequency = 0.0;
    for (int j = 0; j < SamplesPerBlock; ++j) {
        const double phase = SamplePhase(engine.SampleCounter, sampleRate);
        double s = 0.0;
        for (int i = 0; i < VoiceCount; ++i) {
            const Voice& voice = engine.VoiceTable[i];
            if (voice.active == 0) continue;
            const double f = NoteFrequency(i);
            shownFrequency = f;
            s += HarmonicSample(engine.HarmonicWeights, voice.level, f, phase, 0.0);
        }
        s = ClipSample(s, engine.ClipFlag);
        if (s > engine.PeakSample) engine.PeakSample = s;
        out[j] = static_cast<int16_t>(s);
        engine.SampleCounter = NextSampleCounter(engine.SampleCounter);
    }
    return shownFrequency;
}

void DecayVoices(Engine& engine) {
    double total = 0.0;
    for (Voice& voice : engine.VoiceTable) {
        total += voice.level;
        if (voice.level > 0) voice.level -= voice.releaseStep;
        if (!(voice.level > 0)) voice = Voice{0, 0.0, 0.0};
    }
    if (std::fabs(total) < 1.0) engine.SampleCounter = 0;
}

}  // namespace synth
