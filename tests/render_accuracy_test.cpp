// The production renderer against the literal one, on each instruction-set path: the same
// samples (to within the last rounding), the same Freq, clip lamp, time base and decay.
#include <gtest/gtest.h>

#include <cstdlib>

#include "synth/block_renderer.h"
#include "reference/literal_renderer.h"
#include "synth/pitch.h"
#include "reference/render_comparison.h"

using synth::Engine;
using synth::RenderPath;
using synth::SamplesPerBlock;

namespace {

constexpr uint32_t Rate = 44100;

// PeakSample shows one unclipped sum per block before truncation. The two renderers add
// in different orders, so those sums differ in their last bits; a millionth of a step
// is far below what truncation can see, yet a missing correction term shows up there
// long before it flips a sample.
constexpr double PeakTolerance = 1e-6;

class RenderAccuracy : public testing::TestWithParam<RenderPath> {
   protected:
    void SetUp() override {
        if (!synth::RenderPathSupported(GetParam()))
            GTEST_SKIP() << "this processor lacks AVX2 or FMA";
    }
};

void ExpectCloseToLiteral(const synth::ComparisonReport& report, double identicalShare) {
    EXPECT_GE(static_cast<double>(report.identical), identicalShare * report.samples)
        << report.samples - report.identical << " of " << report.samples << " samples differ";
    EXPECT_LE(report.maxDifference, 1);
    EXPECT_EQ(report.observableMismatches, 0) << "of " << report.blocks << " blocks";
    EXPECT_LE(report.maxPeakDifference, PeakTolerance);
}

// Both renderers from the same state; every sample within one step, nearly all equal.
void ExpectBlockMatches(RenderPath path, const Engine& start) {
    Engine literal = start;
    Engine production = start;
    int16_t expected[SamplesPerBlock];
    int16_t actual[SamplesPerBlock];
    const double literalFrequency = synth::RenderSamplesLiteral(literal, Rate, expected);
    EXPECT_EQ(synth::RenderSamplesOn(path, production, Rate, actual), literalFrequency);
    int identical = 0;
    for (int j = 0; j < SamplesPerBlock; ++j) {
        EXPECT_LE(std::abs(expected[j] - actual[j]), 1) << "sample " << j;
        identical += expected[j] == actual[j];
    }
    EXPECT_GE(identical, SamplesPerBlock - 1);
    EXPECT_EQ(production.SampleCounter, literal.SampleCounter);
    EXPECT_EQ(production.ClipFlag, literal.ClipFlag);
    EXPECT_NEAR(production.PeakSample, literal.PeakSample, PeakTolerance);
}

}  // namespace

TEST_P(RenderAccuracy, MatchesTheLiteralRendererOverMinutesOfSound) {
    // Counters up to 10^8 samples: about 38 minutes without a silent block.
    ExpectCloseToLiteral(synth::CompareWithLiteral(GetParam(), {7, 40, 20, 100000000}), 0.9999);
}

TEST_P(RenderAccuracy, StaysWithinOneStepUpToTheTimeBaseLimit) {
    // Up to 2^30 samples the sub-harmonics of the top notes have arguments near 10^12.
    ExpectCloseToLiteral(synth::CompareWithLiteral(GetParam(), {11, 20, 20, 1 << 30}), 0.999);
}

TEST_P(RenderAccuracy, BlocksNearZeroAndAcrossTheTimeBaseWrapMatch) {
    Engine engine;
    const int32_t weights[synth::PartialCount] = {100, 80, 0, 60, 40, 30, 100, 90, 70, 50, 20};
    for (int p = 0; p < synth::PartialCount; ++p) engine.HarmonicWeights[p] = weights[p];
    for (int note : {0, 30, 57, 100, 111, 123, 124, 200, 255})
        engine.VoiceTable[note] = {1, 0.0, 300.0 + 10 * note};
    // Block starts between the usual multiples of 100, either side of zero, and where
    // 2n or n itself wraps in 32 bits.
    for (int32_t start : {0, 37, 150, -60, -250, (1 << 30) - 50, INT32_MAX - 50, INT32_MIN + 10,
                          -(1 << 30) - 30}) {
        SCOPED_TRACE(start);
        engine.SampleCounter = start;
        ExpectBlockMatches(GetParam(), engine);
    }
}

TEST_P(RenderAccuracy, SilentVoicesStillShowTheirFrequency) {
    // A voice struck with level 0 adds nothing, yet it is the highest sounding note.
    Engine engine;
    engine.HarmonicWeights.fill(100);
    engine.VoiceTable[57] = {1, 0.0, 4000.0};
    engine.VoiceTable[200] = {1, 0.0, 0.0};
    engine.SampleCounter = 12345;
    ExpectBlockMatches(GetParam(), engine);
    int16_t out[SamplesPerBlock];
    EXPECT_EQ(synth::RenderSamplesOn(GetParam(), engine, Rate, out), synth::NoteFrequency(200));
}

INSTANTIATE_TEST_SUITE_P(Paths, RenderAccuracy,
                         testing::Values(RenderPath::Sse2, RenderPath::Avx2Fma),
                         [](const testing::TestParamInfo<RenderPath>& info) {
                             return info.param == RenderPath::Sse2 ? "Sse2" : "Avx2Fma";
                         });
