#pragma once
// Measures a steady tone in a recording that may have lost samples or whole stretches
// on the way: a loaded machine drops samples, a sound server may drop out.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace e2e {

struct Tone {
    double frequency = 0;  // Hz, the median of the single cycles' frequencies
    double peak = 0;       // the median of steady 10 ms windows' peaks, full scale = 1.0
    size_t cycles = 0;     // whole cycles measured
};

// The tone where the recording stays near the level it mostly sounds at: each cycle
// between two rising zero crossings gives a frequency, and the median of them is the
// tone's, so the few cycles that a gap cuts short or draws out do not move it.
// Nothing when fewer than MinCycles whole cycles are steady.
std::optional<Tone> MeasureTone(const std::vector<double>& samples, uint32_t rate);

// A tone that fades from its onset (a mouse strike): measured over the longest stretch
// whose 10 ms peaks stay above near times the loudest; its peak is the loudest window's.
std::optional<Tone> MeasureFadingTone(const std::vector<double>& samples, uint32_t rate,
                                      double near);

constexpr size_t MinCycles = 50;

}  // namespace e2e
