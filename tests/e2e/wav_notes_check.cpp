// Checks a recording for notes, for silence, or for how often a note comes back.
//   wav_notes_check FILE.wav --notes LEVEL TOLERANCE FREQUENCY_HZ...
//     exits 0 when every frequency sounds, in some 100 ms stretch, at LEVEL within
//     TOLERANCE (full-scale units: 1.0 is the largest sample)
//   wav_notes_check FILE.wav --silent MAX_PEAK
//     exits 0 when no sample reaches beyond MAX_PEAK
//   wav_notes_check FILE.wav --rises LEVEL
//     prints the mean time in seconds between the moments the level rises past LEVEL
//     (in 5 ms steps); exits 0 when it rose at least twice
// Each frequency's level is measured on its own (a Hann-windowed Goertzel filter), so
// notes that sound one after the other, or together, are told apart.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "wav_reader.h"

namespace {

// The amplitude of the frequency's sine in samples[from, from + count).
double ToneAmplitude(const Recording& rec, size_t from, size_t count, double frequency) {
    const double pi = 3.14159265358979323846;
    const double coefficient = 2.0 * std::cos(2.0 * pi * frequency / rec.rate);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < count; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * pi * i / (count - 1));
        const double s0 = rec.samples[from + i] * hann + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 4.0 * std::sqrt(std::max(power, 0.0)) / count;  // the window's gain is 1/2
}

int CheckNotes(const Recording& rec, double level, double tolerance, int count, char** frequencies) {
    const size_t window = rec.rate / 10;
    bool ok = true;
    for (int f = 0; f < count; ++f) {
        const double frequency = std::atof(frequencies[f]);
        double loudest = 0, at = 0;
        for (size_t from = 0; from + window <= rec.samples.size(); from += window / 2) {
            const double amplitude = ToneAmplitude(rec, from, window, frequency);
            if (amplitude > loudest) loudest = amplitude, at = static_cast<double>(from) / rec.rate;
        }
        std::printf("%.2f Hz: level %.5f at %.2f s\n", frequency, loudest, at);
        ok = ok && std::fabs(loudest - level) <= tolerance;
    }
    return ok ? 0 : 1;
}

int CheckSilent(const Recording& rec, double maxPeak) {
    double peak = 0;
    for (double sample : rec.samples) peak = std::max(peak, std::fabs(sample));
    std::printf("peak %.6f over %zu ms\n", peak, rec.samples.size() * 1000 / rec.rate);
    return !rec.samples.empty() && peak <= maxPeak ? 0 : 1;
}

int PrintRiseSpacing(const Recording& rec, double level) {
    const size_t window = rec.rate / 200;
    std::vector<double> rises;
    bool above = false;
    for (size_t from = 0; from + window <= rec.samples.size(); from += window) {
        double peak = 0;
        for (size_t i = from; i < from + window; ++i) peak = std::max(peak, std::fabs(rec.samples[i]));
        if (peak > level && !above) rises.push_back(static_cast<double>(from) / rec.rate);
        above = peak > level;
    }
    for (double at : rises) std::fprintf(stderr, "rise at %.3f s\n", at);
    if (rises.size() < 2) return 1;
    std::printf("%.4f\n", (rises.back() - rises.front()) / static_cast<double>(rises.size() - 1));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Recording rec;
    const bool notes = argc >= 6 && std::strcmp(argv[2], "--notes") == 0;
    const bool silent = argc == 4 && std::strcmp(argv[2], "--silent") == 0;
    const bool rises = argc == 4 && std::strcmp(argv[2], "--rises") == 0;
    if (!notes && !silent && !rises) {
        std::fprintf(stderr,
                     "usage: %s FILE.wav --notes LEVEL TOLERANCE FREQ... | --silent MAX_PEAK | "
                     "--rises LEVEL\n",
                     argv[0]);
        return 2;
    }
    if (!ReadWav(argv[1], rec) || rec.rate == 0) {
        std::fprintf(stderr, "cannot read %s as WAV\n", argv[1]);
        return 2;
    }
    if (silent) return CheckSilent(rec, std::atof(argv[3]));
    if (rises) return PrintRiseSpacing(rec, std::atof(argv[3]));
    return CheckNotes(rec, std::atof(argv[3]), std::atof(argv[4]), argc - 5, argv + 5);
}
