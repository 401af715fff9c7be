// Checks a recording for a steady tone: prints its frequency and peak level, and exits
// 0 when both are within the given tolerances.
//   wav_tone_check FILE.wav FREQUENCY_HZ PEAK TOLERANCE_HZ PEAK_TOLERANCE [NEAR]
// PEAK is in full-scale units (1.0 is the largest sample). The tone is looked for in the
// longest run of the recording whose level stays near its loudest part: above NEAR
// times the loudest (0.9 unless given; lower for a tone that fades).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Recording {
    uint32_t rate = 0;
    std::vector<double> samples;  // first channel, full scale = 1.0
};

uint32_t Le(const unsigned char* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

bool ReadWav(const char* path, Recording& out) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), {});
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) || std::memcmp(d.data() + 8, "WAVE", 4))
        return false;
    uint16_t format = 0, channels = 0, bits = 0;
    for (size_t pos = 12; pos + 8 <= d.size();) {
        const uint32_t size = Le(&d[pos + 4], 4);
        const unsigned char* body = &d[pos + 8];
        const size_t available = std::min<size_t>(size, d.size() - pos - 8);
        if (!std::memcmp(&d[pos], "fmt ", 4) && available >= 16) {
            format = static_cast<uint16_t>(Le(body, 2));
            channels = static_cast<uint16_t>(Le(body + 2, 2));
            out.rate = Le(body + 4, 4);
            bits = static_cast<uint16_t>(Le(body + 14, 2));
            if (format == 0xFFFE && available >= 26) format = static_cast<uint16_t>(Le(body + 24, 2));
        } else if (!std::memcmp(&d[pos], "data", 4) && channels && bits) {
            const size_t frame = channels * (bits / 8);
            for (size_t f = 0; f + frame <= available; f += frame) {
                const unsigned char* s = body + f;
                double v = 0;
                if (format == 3 && bits == 32) {
                    float x;
                    std::memcpy(&x, s, 4);
                    v = x;
                } else if (format == 1) {
                    const uint32_t raw = Le(s, bits / 8);
                    const int shift = 32 - bits;
                    v = static_cast<int32_t>(raw << shift) / 2147483648.0;
                } else {
                    return false;
                }
                out.samples.push_back(v);
            }
            return true;
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

}  // namespace

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
    const double near = argc == 7 ? std::atof(argv[6]) : 0.9;

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
        while (j < peaks.size() && peaks[j] > near * loudest) ++j;
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
