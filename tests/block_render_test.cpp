// One block from the voice table: samples, clipping, meter, decay and the time base.
#include <gtest/gtest.h>

#include <cmath>

#include "synth/block_renderer.h"
#include "synth/pitch.h"
#include "tests/score_fingerprint.h"

using synth::Engine;
using synth::SamplesPerBlock;

namespace {

constexpr uint32_t Rate = 44100;

Engine FundamentalOnly() {
    Engine e;
    e.HarmonicWeights[0] = 100;
    return e;
}

struct Block {
    int16_t samples[SamplesPerBlock];
    double frequency;
};

Block Render(Engine& e) {
    Block b{};
    b.frequency = synth::RenderSamples(e, Rate, b.samples);
    return b;
}

}  // namespace

TEST(BlockRender, SamplesFollowTheToneAtTheSharedTimeBase) {
    Engine e = FundamentalOnly();
    e.VoiceTable[57] = {1, 0.0, 4000.0};
    e.SampleCounter = 1000;
    const Block b = Render(e);
    for (int j = 0; j < SamplesPerBlock; ++j) {
        const double phase = 2.0 * (1000 + j) * 3.1415926 / Rate;
        EXPECT_EQ(b.samples[j], static_cast<int16_t>(4000.0 * std::sin(440.0 * phase))) << j;
    }
    EXPECT_EQ(e.SampleCounter, 1100);
    EXPECT_EQ(b.frequency, 440.0);
}

TEST(BlockRender, VoicesAddUpAndFreqShowsTheHighestNote) {
    Engine e = FundamentalOnly();
    e.VoiceTable[57] = {1, 0.0, 1000.0};
    e.VoiceTable[60] = {1, 0.0, 2000.0};
    e.SampleCounter = 7;
    const Block b = Render(e);
    const double f60 = synth::NoteFrequency(60);
    const double phase = 2.0 * (7 + 50) * 3.1415926 / Rate;
    EXPECT_EQ(b.samples[50],
              static_cast<int16_t>(1000.0 * std::sin(440.0 * phase) + 2000.0 * std::sin(f60 * phase)));
    EXPECT_NEAR(b.frequency, 523.25, 0.01);

    Engine silent = FundamentalOnly();
    EXPECT_EQ(Render(silent).frequency, 0.0);
}

TEST(BlockRender, ClipsToPlusMinus32767AndLatchesTheLamp) {
    uint8_t clip = 0;
    EXPECT_EQ(synth::ClipSample(32767.0, clip), 32767.0);
    EXPECT_EQ(synth::ClipSample(-32767.0, clip), -32767.0);
    EXPECT_EQ(clip, 0);
    EXPECT_EQ(synth::ClipSample(40000.0, clip), 32767.0);
    EXPECT_EQ(clip, 1);
    clip = 0;
    EXPECT_EQ(synth::ClipSample(-40000.0, clip), -32767.0);
    EXPECT_EQ(clip, 1);

    // A loud chord through the whole renderer: never -32768, and the lamp latches.
    Engine e;
    e.HarmonicWeights.fill(100);
    for (int n = 40; n < 52; ++n) e.VoiceTable[n] = {1, 0.0, 30000.0};
    e.SampleCounter = 333;
    const Block b = Render(e);
    int extremes = 0;
    for (int16_t s : b.samples) {
        EXPECT_GE(s, -32767);
        extremes += (s == 32767 || s == -32767);
    }
    EXPECT_GT(extremes, 0);
    EXPECT_EQ(e.ClipFlag, 1);
}

TEST(BlockRender, TruncatesTowardZero) {
    // A sub-harmonic at a known instant: pick the level so the sum is x.9 or -x.9.
    Engine e = FundamentalOnly();
    e.SampleCounter = 10;
    const double phase = 2.0 * 10 * 3.1415926 / Rate;
    const double unit = std::sin(440.0 * phase);
    e.VoiceTable[57] = {1, 0.0, 1234.9 / unit};
    EXPECT_EQ(Render(e).samples[0], 1234);
    e.SampleCounter = 10;
    e.VoiceTable[57] = {1, 0.0, -1234.9 / unit};
    EXPECT_EQ(Render(e).samples[0], -1234);
}

TEST(BlockRender, PeakSampleIsTheLargestPositiveSample) {
    Engine e = FundamentalOnly();
    e.VoiceTable[57] = {1, 0.0, 3000.0};
    const Block b = Render(e);
    int16_t largest = 0;
    for (int16_t s : b.samples) largest = std::max(largest, s);
    EXPECT_GT(largest, 0);
    EXPECT_EQ(static_cast<int16_t>(e.PeakSample), largest);

    // Samples that are all zero or negative leave the meter where it was.
    Engine negative = FundamentalOnly();
    negative.SampleCounter = 0;
    negative.VoiceTable[0] = {1, 0.0, -5.0};  // 16 Hz: the first block stays below zero
    Render(negative);
    EXPECT_EQ(negative.PeakSample, 0.0);
}

TEST(Decay, ReleasingVoicesFadeOneStepPerBlockAndClearAtZero) {
    Engine e;
    e.VoiceTable[60] = {1, 5.0, 3.0};  // one more block, then gone
    e.VoiceTable[61] = {1, 0.0, 100.0};  // held: never fades
    e.VoiceTable[62] = {1, 10.0, 25.0};
    e.SampleCounter = 500;
    synth::DecayVoices(e);
    EXPECT_EQ(e.VoiceTable[60].active, 0);
    EXPECT_EQ(e.VoiceTable[60].level, 0.0);
    EXPECT_EQ(e.VoiceTable[60].releaseStep, 0.0);
    EXPECT_EQ(e.VoiceTable[61].level, 100.0);
    EXPECT_EQ(e.VoiceTable[62].level, 15.0);
    EXPECT_EQ(e.SampleCounter, 500);  // the levels before the pass still sounded
}

TEST(Decay, TimeBaseReturnsToZeroAfterASilentBlock) {
    Engine e;
    e.VoiceTable[60] = {1, 5.0, 3.0};
    e.SampleCounter = 500;
    synth::DecayVoices(e);  // level 3 counted: still running
    EXPECT_EQ(e.SampleCounter, 500);
    synth::DecayVoices(e);
    EXPECT_EQ(e.SampleCounter, 0);

    // A release step left on a silent slot is cleared by the next pass.
    Engine stale;
    stale.VoiceTable[9].releaseStep = 21.0;
    synth::DecayVoices(stale);
    EXPECT_EQ(stale.VoiceTable[9].releaseStep, 0.0);

    // A negative level sounds for one block and is then cleared.
    Engine inverted;
    inverted.VoiceTable[70] = {1, 0.0, -300.0};
    synth::DecayVoices(inverted);
    EXPECT_EQ(inverted.VoiceTable[70].active, 0);
}

TEST(Decay, TimeBaseRestartsOnlyWhenTheLevelsSumToLessThanOneInMagnitude) {
    const auto counterAfterPass = [](std::initializer_list<std::pair<int, double>> levels) {
        Engine e;
        for (const auto& [note, level] : levels) e.VoiceTable[note] = {1, 0.0, level};
        e.SampleCounter = 500;
        synth::DecayVoices(e);
        return e.SampleCounter;
    };
    EXPECT_EQ(counterAfterPass({{60, 1.0}}), 500);              // exactly 1 still runs
    EXPECT_EQ(counterAfterPass({{60, 0.6}, {61, 0.3}}), 0);     // 0.9 together
    EXPECT_EQ(counterAfterPass({{60, -5.0}}), 500);             // magnitude 5
    EXPECT_EQ(counterAfterPass({{60, 3.0}, {61, -2.5}}), 0);    // they cancel to 0.5
    EXPECT_EQ(counterAfterPass({{60, 0.999}}), 0);
}

TEST(TimeBase, PhaseWrapsInsteadOfOverflowingPast2To30Samples) {
    EXPECT_EQ(synth::SamplePhase(1 << 29, Rate), static_cast<double>(1 << 30) * 3.1415926 / Rate);
    // 2n leaves the 32-bit range: it wraps as two's complement would.
    EXPECT_EQ(synth::SamplePhase(1 << 30, Rate), -2147483648.0 * 3.1415926 / Rate);
    EXPECT_EQ(synth::NextSampleCounter(INT32_MAX), INT32_MIN);
}

TEST(BlockRender, PlaysOnTheFastestPathTheProcessorHas) {
    // The two paths round differently somewhere in the score, so its fingerprint tells
    // which of them played it.
    const unsigned long long sse2 = ScoreFingerprintOn(synth::RenderPath::Sse2);
    const unsigned long long played = ScoreFingerprint(synth::RenderSamples);
    if (!(__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))) {
        EXPECT_EQ(played, sse2);
        return;
    }
    const unsigned long long avx2 = ScoreFingerprintOn(synth::RenderPath::Avx2Fma);
    ASSERT_NE(avx2, sse2);
    EXPECT_EQ(played, avx2);
}
