#include "synth/harmonic_sample.h"

#include <cmath>
#ifdef __MINGW32__
#include <quadmath.h>
#endif

namespace synth {

namespace {

// MinGW's sine reduces arguments as big as hours of samples give (near 10^12) against a
// pi of 66 bits, off by up to 1e-9. Reduced first against quadruple precision's 2*pi, they
// come out as close as the C library's sine on Linux gives them.
double Sine(double x) {
#ifdef __MINGW32__
    // 2*pi to 107 bits, as the sum of its nearest double and that double's error.
    const __float128 twoPi = __float128{0x1.921fb54442d18p+2} + 0x1.1a62633145c07p-52;
    const __float128 wide = x;
    return std::sin(static_cast<double>(wide - rintq(wide / twoPi) * twoPi));
#else
    return std::sin(x);
#endif
}

}  // namespace

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
