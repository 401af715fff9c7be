// Checks a recording for a steady tone: prints its frequency and peak level, and exits
// 0 when both are within the given tolerances.
//   wav_tone_check FILE.wav FREQUENCY_HZ PEAK TOLERANCE_HZ PEAK_TOLERANCE [NEAR]
// PEAK is in full-scale units (1.0 is the largest sample). The tone is measured where
// the recording stays near the level it mostly sounds at (tone_measure.h); given NEAR,
// it is a tone that fades from its onset, judged while above NEAR times its loudest.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "tone_measure.h"
#include "wav_reader.h"

int main(int argc, char** argv) {
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "usage: %s FILE.wav FREQ PEAK FREQ_TOL PEAK_TOL [NEAR]\n", argv[0]);
        return 2;
    }
    Recording rec;
    if (!ReadWav(argv[1], rec) || rec.rate == 0) {
        std::fprintf(stderr, "cannot read %s as WAV\n", argv[1]);
        return 2;
    }
    const double wantFreq = std::atof(argv[2]), wantPeak = std::atof(argv[3]);
    const double freqTol = std::atof(argv[4]), peakTol = std::atof(argv[5]);

    const std::optional<e2e::Tone> tone =
        argc == 7 ? e2e::MeasureFadingTone(rec.samples, rec.rate, std::atof(argv[6]))
                  : e2e::MeasureTone(rec.samples, rec.rate);
    if (!tone) {
        // What was there instead, so that a failure says whether the sound was missing,
        // late, broken up or at a varying level.
        double loudest = 0;
        for (const double s : rec.samples) loudest = std::max(loudest, std::fabs(s));
        size_t loud = 0;
        for (const double s : rec.samples) loud += std::fabs(s) > 0.5 * loudest && loudest > 0;
        std::printf("no steady tone of %zu cycles in %.2f s at %u Hz: loudest sample %.5f, "
                    "%zu samples above half of it\n",
                    e2e::MinCycles, static_cast<double>(rec.samples.size()) / rec.rate, rec.rate,
                    loudest, loud);
        return 1;
    }
    std::printf("tone: %.2f Hz, peak %.5f over %zu cycles at %u Hz\n", tone->frequency, tone->peak,
                tone->cycles, rec.rate);
    const bool ok = std::fabs(tone->frequency - wantFreq) <= freqTol &&
                    std::fabs(tone->peak - wantPeak) <= peakTol;
    return ok ? 0 : 1;
}
