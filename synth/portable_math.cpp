#include "synth/portable_math.h"

#include <cmath>
#ifdef __MINGW32__
#include <quadmath.h>
#endif

namespace synth {

#ifdef __MINGW32__

// The argument is reduced against 2*pi in quadruple precision, after which MinGW's sine is
// exact enough.
double Sine(double x) {
    // 2*pi to 107 bits, as the sum of its nearest double and that double's error.
    const __float128 twoPi = __float128{0x1.921fb54442d18p+2} + 0x1.1a62633145c07p-52;
    const __float128 wide = x;
    return std::sin(static_cast<double>(wide - rintq(wide / twoPi) * twoPi));
}

// In the x87's extended precision, rounded once to double, as the 32-bit library does it.
double Power(double base, double exponent) {
    using Extended = long double;
    return static_cast<double>(std::pow(Extended{base}, Extended{exponent}));
}

#else

double Sine(double x) { return std::sin(x); }

double Power(double base, double exponent) { return std::pow(base, exponent); }

#endif

}  // namespace synth
