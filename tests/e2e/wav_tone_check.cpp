// Checks a recording for a steady tone: prints its frequency and peak level, and exits
// 0 when both are within the given tolerances.
//   wav_tone_check FILE.wav FREQUENCY_HZ PEAK TOLERANCE_HZ PEAK_TOLERANCE
// PEAK is in full-scale units (1.0 is the largest sample). The tone is looked for in the
// longest run of the recording whose level stays near its loudest part.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "wav_reader.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s FILE.wav FREQ PEAK FREQ_TOL PEAK_TOL\n", argv[0]);
        return 2;
    }
    Recording rec;
    if (!ReadWav(argv[1], rec) || rec.rate == 0) {
        std::fprintf(stderr, "cannot read %s as WAV\n", argv[1]);
        return 2;
    }
    const double wantFreq = std::atof(argv[2]), wantPeak = std::atof(argv[3]);
    const double freqTol = std::atof(argv[4]), peakTol = std::atof(argv[5]);

    // Peak per 10 ms window; the tone is the longest run of windows near the loudest.
    const size_t window = rec.rate / 100;
    std::vector<double> peaks;
    for (size_t i = 0; i + window <= rec.samples.size(); i += window) {
        double p = 0;
        for (size_t j = i; j < i + window; ++j) p = std::max(p, std::fabs(rec.samples[j]));
        peaks.push_back(p);
    }
    double loudest = 0;
    for (double p : peaks) loudest = std::max(loudest, p);
    size_t bestStart = 0, bestLength = 0;
    for (size_t i = 0; i < peaks.size();) {
        size_t j = i;
        while (j < peaks.size() && peaks[j] > 0.9 * loudest) ++j;
        if (j - i > bestLength) bestStart = i, bestLength = j - i;
        i = j + 1;
    }
    if (loudest == 0 || bestLength < 10) {
        std::printf("no steady tone (loudest %.5f, %zu ms steady)\n", loudest, bestLength * 10);
        return 1;
    }
    // Trim the run's edges, then count rising zero crossings with linear interpolation.
    const size_t from = (bestStart + 1) * window, to = (bestStart + bestLength - 1) * window;
    double first = -1, last = -1;
    int crossings = 0;
    double peak = 0;
    for (size_t i = from + 1; i < to; ++i) {
        peak = std::max(peak, std::fabs(rec.samples[i]));
        const double a = rec.samples[i - 1], b = rec.samples[i];
        if (a < 0 && b >= 0) {
            const double t = (i - 1) + a / (a - b);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    const double freq = crossings > 1 ? (crossings - 1) * rec.rate / (last - first) : 0;
    std::printf("tone: %.2f Hz, peak %.5f over %zu ms at %u Hz\n", freq, peak,
                (to - from) * 1000 / rec.rate, rec.rate);
    const bool ok = std::fabs(freq - wantFreq) <= freqTol && std::fabs(peak - wantPeak) <= peakTol;
    return ok ? 0 : 1;
}
