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

// Peak per 10 ms window.
std::vector<double> WindowPeaks(const std::vector<double>& samples, size_t window) {
    std::vector<double> peaks;
    for (size_t i = 0; i + window <= samples.size(); i += window) {
        double p = 0;
        for (size_t j = i; j < i + window; ++j) p = std::max(p, std::fabs(samples[j]));
        peaks.push_back(p);
    }
    return peaks;
}

// The frequency of each whole cycle (rising zero crossing to the next) that lies in
// windows marked as counting.
std::vector<double> CycleFrequencies(const std::vector<double>& samples, uint32_t rate,
                                     size_t window, const std::vector<bool>& counts) {
    std::vector<double> frequencies;
    double previous = -1;  // the last rising crossing in a counted window, in samples
    for (size_t i = window + 1; i < counts.size() * window; ++i) {
        if (!counts[i / window]) {
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
    return frequencies;
}

}  // namespace

std::optional<Tone> MeasureTone(const std::vector<double>& samples, uint32_t rate) {
    // The tone's level is the median peak of the windows that sound at all, so a louder
    // moment (other notes still fading) or a dropout does not set it; steady windows are
    // near that level, as are both their neighbours, so the onset and the fade of each
    // stretch are left out.
    const size_t window = rate / 100;
    if (window == 0) return std::nullopt;
    const std::vector<double> peaks = WindowPeaks(samples, window);
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

    const std::vector<double> frequencies = CycleFrequencies(samples, rate, window, steady);
    if (frequencies.size() < MinCycles) return std::nullopt;
    return Tone{Median(frequencies), Median(steadyPeaks), frequencies.size()};
}

std::optional<Tone> MeasureFadingTone(const std::vector<double>& samples, uint32_t rate,
                                      double near) {
    const size_t window = rate / 100;
    if (window == 0) return std::nullopt;
    const std::vector<double> peaks = WindowPeaks(samples, window);
    if (peaks.empty()) return std::nullopt;
    const double loudest = *std::max_element(peaks.begin(), peaks.end());
    size_t bestStart = 0, bestLength = 0;
    for (size_t i = 0; i < peaks.size();) {
        size_t j = i;
        while (j < peaks.size() && peaks[j] > near * loudest) ++j;
        if (j - i > bestLength) bestStart = i, bestLength = j - i;
        i = j + 1;
    }
    std::vector<bool> inside(peaks.size());
    for (size_t w = bestStart; w < bestStart + bestLength; ++w) inside[w] = true;
    const std::vector<double> frequencies = CycleFrequencies(samples, rate, window, inside);
    if (loudest == 0 || frequencies.size() < MinCycles) return std::nullopt;
    return Tone{Median(frequencies), loudest, frequencies.size()};
}

}  // namespace e2e
