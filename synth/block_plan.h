#pragma once
// What the production renderer needs to know about one block, gathered once from the
// engine: the sounding voices, the weights, and the time base of every sample. The
// summing kernels (voice_sum.h) read only this.
#include <cstdint>

#include "synth/engine.h"
#include "synth/voice_table.h"

namespace synth {

// Widest vector a kernel reads voices with; the voice arrays are padded by this much.
constexpr int MaxKernelLanes = 4;

// A run of samples whose time base rises without wrapping. Every partial's argument is
// tracked relative to its value at the anchor, a sample close enough in time that the
// difference is exact in double arithmetic.
struct BlockSegment {
    int begin;           // first sample of the run
    int end;             // one past the last
    double anchorPhase;  // SamplePhase at the anchor
};

struct BlockPlan {
    int voiceCount;  // sounding voices with a non-zero level, in ascending note order
    double frequency[VoiceCount + MaxKernelLanes];  // zero past voiceCount
    double level[VoiceCount + MaxKernelLanes];      // zero past voiceCount
    double weight[PartialCount];                    // HarmonicWeights as doubles
    double phase[SamplesPerBlock];                  // SamplePhase of every sample
    double stepsFromAnchor[SamplesPerBlock];        // samples since its segment's anchor
    double phaseStep;                               // 2 * 3.1415926 / sampleRate
    int segmentCount;                               // 1, or 2 when the time base wraps
    BlockSegment segment[2];
};

// Gathers the plan for the block that starts at engine.SampleCounter. Returns the
// frequency of the highest-numbered active voice, or 0.0 when none is active.
double PlanBlock(const Engine& engine, uint32_t sampleRate, BlockPlan& plan);

}  // namespace synth
