// The voice's tone and the pitch of every note.
#include <gtest/gtest.h>

#include <cmath>

#include "synth/harmonic_sample.h"
#include "synth/pitch.h"

using synth::HarmonicSample;
using synth::NoteFrequency;
using synth::Weights;

namespace {

Weights OnlyPartial(int index) {
    Weights w{};
    w[index] = 100;
    return w;
}

// Which of partials 0..5 a note keeps: bit k set when partial k sounds.
int KeptUpperPartials(int note) {
    const double f = NoteFrequency(note);
    const double phase = 0.37;
    int kept = 0;
    for (int k = 0; k < 6; ++k)
        if (HarmonicSample(OnlyPartial(k), 1000.0, f, phase, 0.0) != 0.0) kept |= 1 << k;
    return kept;
}

}  // namespace

TEST(Pitch, Note57IsConcertAAndOctavesDouble) {
    EXPECT_EQ(NoteFrequency(57), 440.0);
    EXPECT_NEAR(NoteFrequency(69), 880.0, 1e-9);
    EXPECT_NEAR(NoteFrequency(60), 523.2511306011972, 1e-9);
    EXPECT_NEAR(NoteFrequency(0), 16.351597831287414, 1e-9);
    EXPECT_NEAR(NoteFrequency(255), 40.78e6, 0.01e6);
}

TEST(Tone, SilentWhenEveryWeightIsZero) {
    EXPECT_EQ(HarmonicSample(Weights{}, 4000.0, 440.0, 1.234, 0.5), 0.0);
}

TEST(Tone, FundamentalAtFullWeightPeaksAtTheVoiceLevel) {
    for (double phase : {0.0, 0.001, 0.01, 0.1}) {
        EXPECT_DOUBLE_EQ(HarmonicSample(OnlyPartial(0), 4000.0, 440.0, phase, 0.0),
                         4000.0 * std::sin(440.0 * phase));
    }
}

TEST(Tone, EachPartialSitsAtItsOwnFrequencyAndWeight) {
    const double f = 300.0, phase = 0.0123, level = 2000.0;
    for (int k = 2; k <= 6; ++k) {
        Weights w{};
        w[k - 1] = 37;
        EXPECT_DOUBLE_EQ(HarmonicSample(w, level, f, phase, 0.0),
                         std::sin(k * f * phase) * 37 * level * 0.01);
    }
    // The sub-harmonics' multipliers as the design gives them, for 1/2 to 1/6.
    const double subharmonic[] = {0.5, 0.3333333333333333, 0.25, 0.2, 0.16666666666666666};
    for (int s = 0; s < 5; ++s) {
        Weights w{};
        w[6 + s] = 80;
        EXPECT_DOUBLE_EQ(HarmonicSample(w, level, f, phase, 0.0),
                         std::sin(f * phase * subharmonic[s]) * 80 * level * 0.01);
    }
}

TEST(Tone, UpperPartialsStopAt20kHz) {
    EXPECT_EQ(KeptUpperPartials(111), 0b000011);  // about 9956 Hz: fundamental and 2nd
    EXPECT_EQ(KeptUpperPartials(112), 0b000001);  // about 10548 Hz: fundamental only
    EXPECT_EQ(KeptUpperPartials(123), 0b000001);  // about 19912 Hz
    EXPECT_EQ(KeptUpperPartials(124), 0);         // about 21096 Hz: none
    // Exactly 20000 Hz is already out.
    EXPECT_EQ(HarmonicSample(OnlyPartial(1), 1000.0, 10000.0, 0.3, 0.0), 0.0);
}

TEST(Tone, SubharmonicsSoundAtAnyFrequency) {
    Weights w{};
    w[10] = 100;
    const double f = NoteFrequency(255);
    EXPECT_NE(HarmonicSample(w, 1000.0, f, 0.2, 0.0), 0.0);
}

TEST(Tone, PhaseOffsetShiftsOnlyTheFundamental) {
    Weights all{};
    all.fill(100);
    Weights rest = all;
    rest[0] = 0;
    const double f = 220.0, phase = 0.05, offset = 0.7;
    EXPECT_DOUBLE_EQ(HarmonicSample(rest, 1000.0, f, phase, offset),
                     HarmonicSample(rest, 1000.0, f, phase, 0.0));
    EXPECT_NEAR(HarmonicSample(all, 1000.0, f, phase, offset) -
                    HarmonicSample(rest, 1000.0, f, phase, offset),
                1000.0 * std::sin(f * phase + offset), 1e-9);
}
