#include "synth/harmonic_sample.h"

#include <cmath>

namespace synth {

double HarmonicSample(const Weights& weights, double level, double frequency, double phase,
                      double phaseOffset) {
    double sum = 0.0;
    if (frequency < PartialCutoffHz)
        sum += std::sin(frequency * phase + phaseOffset) * static_cast<double>(weights[0]) *
               level * 0.01;
    for (int k = 2; k <= 6; ++k) {
        if (k * frequency < PartialCutoffHz)
            sum += std::sin(k * frequency * phase) * static_cast<double>(weights[k - 1]) * level *
                   0.01;
    }
    for (int s = 0; s < 5; ++s)
        sum += std::sin(frequency * phase * SubharmonicMultipliers[s]) *
               static_cast<double>(weights[6 + s]) * level * 0.01;
    return sum;
}

}  // namespace synth
