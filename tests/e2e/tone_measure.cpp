#include "tone_measure.h"

#include <algorithm>
#include <cmath>

namespace e2e {
namespace {

double Median(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}  // namespace

std::optional<Tone> MeasureTone(const std::vector<double>& samples, uint32_t rate) {
    // Peak per 10 ms window. The tone's level is the median peak of the windows that
    // sound at all, so a louder moment (other notes still fading) or a dropout does
    // not set it; steady windows are near that level, as are both their neighbours,
    // so the onset and the fade of each stretch are left out.
    const size_t window = rate / 100;
    if (window == 0) return std::nullopt;
    std::vector<double> peaks;
    for (size_t i = 0; i + window <= samples.size(); i += window) {
        double p = 0;
        for (size_t j = i; j < i + window; ++j) p = std::max(p, std::fabs(samples[j]));
        peaks.push_back(p);
    }
    const double loudest = peaks.empty() ? 0 : *std::max_element(peaks.begin(), peaks.end());
    std::vector<double> sounding;
    for (const double p : peaks) {
        if (p > 0.1 * loudest) sounding.push_back(p);
    }
    if (sounding.empty()) return std::nullopt;
    const double level = Median(sounding);
    const auto near = [&](size_t w) {
        return w < peaks.size() && std::fabs(peaks[w] - level) <= 0.1 * level;
    };
    std::vector<bool> steady(peaks.size());
    std::vector<double> steadyPeaks;
    for (size_t w = 1; w < peaks.size(); ++w) {
        steady[w] = near(w - 1) && near(w) && near(w + 1);
        if (steady[w]) steadyPeaks.push_back(peaks[w]);
    }

    Tone tone;
    std::vector<double> frequencies;
    double previous = -1;  // the last rising crossing in a steady window, in samples
    for (size_t i = window + 1; i < peaks.size() * window; ++i) {
        if (!steady[i / window]) {
            previous = -1;
            continue;
        }
        const double a = samples[i - 1], b = samples[i];
        if (a < 0 && b >= 0) {
            const double crossing = (i - 1) + a / (a - b);
            if (previous >= 0) frequencies.push_back(rate / (crossing - previous));
            previous = crossing;
        }
    }
    if (frequencies.size() < MinCycles) return std::nullopt;
    tone.frequency = Median(frequencies);
    tone.peak = Median(steadyPeaks);
    tone.cycles = frequencies.size();
    return tone;
}

}  // namespace e2e
