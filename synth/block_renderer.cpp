#include "synth/block_renderer.h"

#include <cmath>

#include "synth/block_plan.h"
#include "synth/voice_sum.h"

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

bool RenderPathSupported(RenderPath path) {
    if (path == RenderPath::Sse2) return true;
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

double RenderSamplesOn(RenderPath path, Engine& engine, uint32_t sampleRate, int16_t* out) {
    BlockPlan plan;
    const double shownFrequency = PlanBlock(engine, sampleRate, plan);
    double sums[SamplesPerBlock];
    if (path == RenderPath::Avx2Fma)
        SumVoicesAvx2Fma(plan, sums);
    else
        SumVoicesSse2(plan, sums);
    for (int j = 0; j < SamplesPerBlock; ++j) {
        const double s = ClipSample(sums[j], engine.ClipFlag);
        if (s > engine.PeakSample) engine.PeakSample = s;
        out[j] = static_cast<int16_t>(s);
        engine.SampleCounter = NextSampleCounter(engine.SampleCounter);
    }
    return shownFrequency;
}

double RenderSamples(Engine& engine, uint32_t sampleRate, int16_t* out) {
    static const RenderPath fastest =
        RenderPathSupported(RenderPath::Avx2Fma) ? RenderPath::Avx2Fma : RenderPath::Sse2;
    return RenderSamplesOn(fastest, engine, sampleRate, out);
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
