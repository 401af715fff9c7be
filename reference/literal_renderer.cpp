#include "reference/literal_renderer.h"

#include "synth/block_renderer.h"
#include "synth/harmonic_sample.h"
#include "synth/pitch.h"

namespace synth {

double RenderSamplesLiteral(Engine& engine, uint32_t sampleRate, int16_t* out) {
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

}  // namespace synth
