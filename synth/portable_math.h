#pragma once
// The C library functions the samples depend on, giving the same doubles on every
// platform the program is built for. glibc's sine and power are exact to the last bit or
// nearly so; MinGW's sine reduces big arguments against a pi of 66 bits (off by up to
// 1e-9 near 10^12, which hours of samples reach), and its 64-bit power is off by tens of
// units in the last place. On MinGW the sine's argument is reduced in quadruple precision
// and the power worked out in extended precision.

namespace synth {

double Sine(double x);

double Power(double base, double exponent);

}  // namespace synth
