#include "synth/harmonic_sample.h"

#include "synth/portable_math.h"

namespace synth {

double HarmonicSample(const Weights& weights, double level, double frequency, double phase,
                      double phaseOffset) {
    double sum = 0.0;
    if (frequency < PartialCutoffHz)
        sum += Sine(frequency * phase + phaseOffset) * static_cast<double>(weights[0]) *
               level * 0.01;
    for (int k = 2; k <= 6; ++k) {
        if (k * frequency < PartialCutoffHz)
            sum += Sine(k * frequency * phase) * static_cast<double>(weights[k - 1]) * level *
                   0.01;
    }
    for (int s = 0; s < 5; ++s)
        sum += Sine(frequency * phase * SubharmonicMultipliers[s]) *
               static_cast<double>(weights[6 + s]) * level * 0.01;
    return sum;
}

}  // namespace synth
