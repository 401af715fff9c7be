#include "tone_measure.h"

#include <algorithm>
#include <cmath>

namespace e2e {

std::optional<Tone> MeasureTone(const std::vector<double>& samples, uint32_t rate) {
    // Peak per 10 ms window; steady windows are near the loudest, as are both their
    // neighbours, so the onset and the fade of each stretch are left out.
    const size_t window = rate / 100;
    if (window == 0) return std::nullopt;
    std::vector<double> peaks;
    for (size_t i = 0; i + window <= samples.size(); i += window) {
        double p = 0;
        for (size_t j = i; j < i + window; ++j) p = std::max(p, std::fabs(samples[j]));
        peaks.push_back(p);
    }
    const double loudest = peaks.empty() ? 0 : *std::max_element(peaks.begin(), peaks.end());
    const auto loud = [&](size_t w) { return w < peaks.size() && peaks[w] > 0.9 * loudest; };
    std::vector<bool> steady(peaks.size());
    for (size_t w = 1; w < peaks.size(); ++w) steady[w] = loud(w - 1) && loud(w) && loud(w + 1);

    Tone tone;
    std::vector<double> frequencies;
    double previous = -1;  // the last rising crossing in a steady window, in samples
    for (size_t i = window + 1; i < peaks.size() * window; ++i) {
        if (!steady[i / window]) {
            previous = -1;
            continue;
        }
        tone.peak = std::max(tone.peak, std::fabs(samples[i]));
        const double a = samples[i - 1], b = samples[i];
        if (a < 0 && b >= 0) {
            const double crossing = (i - 1) + a / (a - b);
            if (previous >= 0) frequencies.push_back(rate / (crossing - previous));
            previous = crossing;
        }
    }
    if (frequencies.size() < MinCycles) return std::nullopt;
    const auto middle = frequencies.begin() + static_cast<std::ptrdiff_t>(frequencies.size() / 2);
    std::nth_element(frequencies.begin(), middle, frequencies.end());
    tone.frequency = *middle;
    tone.cycles = frequencies.size();
    return tone;
}

}  // namespace e2e
