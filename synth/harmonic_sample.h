#pragma once
// The additive tone shared by every voice: eleven weighted sine partials.
#include <array>
#include <cstdint>

#include "synth/engine.h"

namespace synth {

using Weights = std::array<int32_t, PartialCount>;

// Partials at or above this frequency are left out (sub-harmonics never are).
constexpr double PartialCutoffHz = 20000.0;

// The sub-harmonic multipliers, applied by multiplication as the tone defines them.
constexpr double SubharmonicMultipliers[5] = {0.5, 0.3333333333333333, 0.25, 0.2,
                                              0.16666666666666666};

// Value of one voice at one instant. phase is the sample time times 2*pi;
// phaseOffset shifts the fundamental only.
double HarmonicSample(const Weights& weights, double level, double frequency, double phase,
                      double phaseOffset);

}  // namespace synth
