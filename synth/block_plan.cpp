#include "synth/block_plan.h"

#include <array>

#include "synth/block_renderer.h"
#include "synth/pitch.h"

namespace synth {

namespace {

// NoteFrequency depends on the note alone, so each note's pow result is taken once.
const std::array<double, VoiceCount>& NoteFrequencies() {
    static const std::array<double, VoiceCount> table = [] {
        std::array<double, VoiceCount> t{};
        for (int i = 0; i < VoiceCount; ++i) t[i] = NoteFrequency(i);
        return t;
    }();
    return table;
}

// Samples [begin, end) share one anchor. The anchor is the first sample when every
// argument in the run lies within a factor of two of the anchor's (so x - anchor is
// exact); otherwise the run is near time zero, and time zero itself, where every
// argument is exactly 0, is the anchor.
void AddSegment(BlockPlan& plan, const int64_t* twoN, int begin, int end) {
    const int64_t first = twoN[begin];
    const int64_t last = twoN[end - 1];
    const bool firstIsAnchor = (first > 0 && last <= 2 * first) || (last < 0 && first >= 2 * last);
    const int64_t anchor = firstIsAnchor ? first : 0;
    for (int j = begin; j < end; ++j)
        plan.stepsFromAnchor[j] = static_cast<double>((twoN[j] - anchor) / 2);
    plan.segment[plan.segmentCount++] = {begin, end, firstIsAnchor ? plan.phase[begin] : 0.0};
}

}  // namespace

double PlanBlock(const Engine& engine, uint32_t sampleRate, BlockPlan& plan) {
    const auto& frequencies = NoteFrequencies();
    double shownFrequency = 0.0;
    plan.voiceCount = 0;
    for (int i = 0; i < VoiceCount; ++i) {
        const Voice& voice = engine.VoiceTable[i];
        if (voice.active == 0) continue;
        shownFrequency = frequencies[i];
        if (voice.level == 0.0) continue;  // sounds, but adds nothing
        plan.frequency[plan.voiceCount] = frequencies[i];
        plan.level[plan.voiceCount] = voice.level;
        ++plan.voiceCount;
    }
    for (int i = plan.voiceCount; i < plan.voiceCount + MaxKernelLanes; ++i) {
        plan.frequency[i] = 0.0;
        plan.level[i] = 0.0;
    }
    for (int p = 0; p < PartialCount; ++p)
        plan.weight[p] = static_cast<double>(engine.HarmonicWeights[p]);
    plan.phaseStep = 2.0 * 3.1415926 / static_cast<double>(sampleRate);

    // 2n as the time base forms it, wrapping in 32 bits; a wrap starts a new segment.
    int64_t twoN[SamplesPerBlock];
    int32_t n = engine.SampleCounter;
    for (int j = 0; j < SamplesPerBlock; ++j) {
        plan.phase[j] = SamplePhase(n, sampleRate);
        twoN[j] = static_cast<int32_t>(2u * static_cast<uint32_t>(n));
        n = NextSampleCounter(n);
    }
    plan.segmentCount = 0;
    int begin = 0;
    for (int j = 1; j <= SamplesPerBlock; ++j) {
        if (j < SamplesPerBlock && twoN[j] > twoN[j - 1]) continue;
        AddSegment(plan, twoN, begin, j);
        begin = j;
    }
    return shownFrequency;
}

}  // namespace synth
