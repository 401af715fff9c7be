// The end-to-end tests' tone measure: right on recordings that lost samples or
// stretches on the way, and still telling a wrong pitch or level from the right one.
#include "tone_measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double C5 = 523.25;
constexpr double Level = 3999.0 / 32768;

// Silence, then SECONDS of a sine quantised to 16 bits, then silence.
std::vector<double> Recording(double frequency, double level, uint32_t rate, double seconds) {
    std::vector<double> samples(rate / 4, 0.0);
    const auto count = static_cast<size_t>(seconds * rate);
    for (size_t i = 0; i < count; ++i) {
        const double v = level * std::sin(2 * std::numbers::pi * frequency * i / rate);
        samples.push_back(std::round(v * 32768) / 32768);
    }
    samples.resize(samples.size() + rate / 4, 0.0);
    return samples;
}

void ExpectTone(const std::vector<double>& samples, uint32_t rate, double frequency,
                double level) {
    const auto tone = e2e::MeasureTone(samples, rate);
    ASSERT_TRUE(tone.has_value());
    EXPECT_NEAR(tone->frequency, frequency, 0.02);
    EXPECT_NEAR(tone->peak, level, 0.0002);
}

}  // namespace

TEST(ToneMeasure, FindsThePitchAndLevelOfASteadyTone) {
    const auto tone = e2e::MeasureTone(Recording(C5, Level, 44100, 1.2), 44100);
    ASSERT_TRUE(tone.has_value());
    EXPECT_NEAR(tone->frequency, C5, 0.01);
    EXPECT_NEAR(tone->peak, Level, 0.0002);
    EXPECT_GT(tone->cycles, 500u);
}

TEST(ToneMeasure, TellsAPitchAFewCentsOffAndALowerLevel) {
    const double sharp = C5 * std::pow(2, 2 / 1200.0);  // 0.6 Hz higher
    ExpectTone(Recording(sharp, Level / 2, 48000, 1.2), 48000, sharp, Level / 2);
}

TEST(ToneMeasure, SamplesMissingFromTheRecordingDoNotRaiseThePitch) {
    // A busy machine lost 32 samples in each of two places: counting the crossings
    // of the whole take would read it about 0.6 Hz high.
    std::vector<double> samples = Recording(C5, Level, 48000, 1.2);
    for (const size_t at : {30000, 50000}) {
        samples.erase(samples.begin() + static_cast<std::ptrdiff_t>(at),
                      samples.begin() + static_cast<std::ptrdiff_t>(at + 32));
    }
    ExpectTone(samples, 48000, C5, Level);
}

TEST(ToneMeasure, DropoutsOfSilenceLeaveThePitchAndLevel) {
    // 60 ms of silence every 200 ms, as a sound server that starves the stream gives.
    std::vector<double> samples = Recording(C5, Level, 44100, 1.2);
    for (size_t at = 11025 + 6000; at + 2646 < samples.size() - 11025; at += 8820) {
        std::fill_n(samples.begin() + static_cast<std::ptrdiff_t>(at), 2646, 0.0);
    }
    ExpectTone(samples, 44100, C5, Level);
}

TEST(ToneMeasure, OtherNotesStillFadingAtTheStartDoNotSetTheLevel) {
    // The digits typed into a field are notes too; on a busy machine they may still
    // sound for a while after the tone starts.
    std::vector<double> samples = Recording(C5, Level, 44100, 1.2);
    for (size_t i = 11025; i < 11025 + 13230; ++i) {
        samples[i] += 0.05 * std::sin(2 * std::numbers::pi * 311.13 * i / 44100);
    }
    ExpectTone(samples, 44100, C5, Level);
}

TEST(ToneMeasure, SilenceOrABlipIsNoTone) {
    EXPECT_FALSE(e2e::MeasureTone(std::vector<double>(44100, 0.0), 44100).has_value());
    EXPECT_FALSE(e2e::MeasureTone(Recording(C5, Level, 44100, 0.05), 44100).has_value());
    EXPECT_FALSE(e2e::MeasureTone({}, 44100).has_value());
}
