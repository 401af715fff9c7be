#pragma once
// The production renderer's summing kernel, written once over a vector type V and
// compiled once per instruction set (voice_sum_sse2.cpp, voice_sum_avx2.cpp). Each V is
// local to its file, so the two compilations never share a symbol. A vector holds
// V::Lanes voices; the kernel walks the block sample by sample for each group of voices.
//
// How it keeps to the tone formula. At sample j a partial's sine argument is x_j, the
// very double the formula forms (the same products in the same order, so the same
// roundings). Its value is sin(a_j + d_j), where a_j = anchor + j * step advances by an
// exact rotation, and d_j = x_j - a_j, the rounding residue, is computed exactly and
// folded back in by a first- or second-order Taylor step. Where the formula's argument is
// an exact doubling of another partial's (1/4 -> 1/2 -> 1 -> 2 -> 4 times the
// fundamental's, 1/6 -> 1/3, harmonic 3 -> 6), the double-angle formulas give it: scaling
// a frequency or a multiplier by 2 or 4 is exact, so those arguments are exact doublings.
//
// V provides: D, Lanes, Set1, Zero, Load, Store, Add, Sub, Mul, MulAdd(a,b,c) = a*b+c,
// NegMulAdd(a,b,c) = c-a*b, ProductError(a,b,p) = a*b-p exactly, And, AndNot(m,a) = ~m&a,
// Or, Xor, Less (a mask), AnyNonZero, Bits (a 64-bit pattern in every lane), IntAdd,
// IntSub (64-bit integer lanes) and ShiftLeft<N> (64-bit lanes).
#include <cmath>

#include "synth/block_plan.h"
#include "synth/harmonic_sample.h"

namespace synth::voice_sum {

// Chains of partials whose arguments double one another, as indices into the weights.
constexpr int ChainOfFundamental[5] = {8, 6, 0, 1, 3};  // 1/4, 1/2, 1, 2, 4
constexpr int ChainOfSixth[2] = {10, 7};                // 1/6, 1/3
constexpr int ChainOfThird[2] = {2, 5};                 // harmonics 3, 6
constexpr int ChainOfFifth[1] = {9};                    // 1/5
constexpr int ChainOfHarmonic5[1] = {4};                // harmonic 5
constexpr double Quarter = SubharmonicMultipliers[2];
constexpr double Sixth = SubharmonicMultipliers[4];
constexpr double Fifth = SubharmonicMultipliers[3];
static_assert(Quarter * 2 == SubharmonicMultipliers[0] && Sixth * 2 == SubharmonicMultipliers[1],
              "the 1/2 and 1/3 sub-harmonics must be exact doublings of 1/4 and 1/6");

// Below this argument the residue d stays under about 2e-7, and the first-order step's
// error (d^2 / 2) under 1e-9 of a sample unit at full level; beyond it, second order.
constexpr double FirstOrderArgumentLimit = 268435456.0;  // 2^28

// pi/2 as a double plus the double nearest its remainder, and the polynomial
// coefficients of sin and cos on [-pi/4, pi/4] (minimax, error below 2^-58).
constexpr double TwoOverPi = 0.63661977236758134308;
constexpr double HalfPiHigh = 1.5707963267948966;
constexpr double HalfPiLow = 6.123233995736766e-17;
constexpr double RoundingShift = 6755399441055744.0;  // 1.5 * 2^52
constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                 S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                 S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03,
                 C3 = 2.48015872894767294178e-05, C4 = -2.75573143513906633035e-07,
                 C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;

// sin and cos of x to about 1e-16 absolute, for |x| up to 2^51. Only the anchors and
// steps go through here, once per block, so accuracy matters more than speed.
template <class V>
inline void SinCos(typename V::D x, typename V::D& sinX, typename V::D& cosX) {
    using D = typename V::D;
    // k = round(x * 2/pi); the low bits of the shifted sum hold k mod 4.
    const D shifted = V::Add(V::Mul(x, V::Set1(TwoOverPi)), V::Set1(RoundingShift));
    const D k = V::Sub(shifted, V::Set1(RoundingShift));
    const D product = V::Mul(k, V::Set1(HalfPiHigh));
    // x - product is exact (the two are within a factor of two), and so is the error term.
    D r = V::Sub(V::Sub(x, product), V::ProductError(k, V::Set1(HalfPiHigh), product));
    r = V::NegMulAdd(k, V::Set1(HalfPiLow), r);
    const D z = V::Mul(r, r);
    D ps = V::MulAdd(V::Set1(S6), z, V::Set1(S5));
    ps = V::MulAdd(ps, z, V::Set1(S4));
    ps = V::MulAdd(ps, z, V::Set1(S3));
    ps = V::MulAdd(ps, z, V::Set1(S2));
    ps = V::MulAdd(ps, z, V::Set1(S1));
    const D sinR = V::MulAdd(V::Mul(r, z), ps, r);
    D pc = V::MulAdd(V::Set1(C6), z, V::Set1(C5));
    pc = V::MulAdd(pc, z, V::Set1(C4));
    pc = V::MulAdd(pc, z, V::Set1(C3));
    pc = V::MulAdd(pc, z, V::Set1(C2));
    pc = V::MulAdd(pc, z, V::Set1(C1));
    const D cosR = V::MulAdd(V::Mul(z, z), pc, V::NegMulAdd(V::Set1(0.5), z, V::Set1(1.0)));
    // Odd quadrants swap sin and cos; quadrants 2, 3 negate sin and 1, 2 negate cos.
    const D swap = V::IntSub(V::Zero(), V::And(shifted, V::Bits(1)));
    const D s = V::Or(V::And(swap, cosR), V::AndNot(swap, sinR));
    const D c = V::Or(V::And(swap, sinR), V::AndNot(swap, cosR));
    sinX = V::Xor(s, V::template ShiftLeft<62>(V::And(shifted, V::Bits(2))));
    cosX = V::Xor(c, V::template ShiftLeft<62>(V::And(V::IntAdd(shifted, V::Bits(1)), V::Bits(2))));
}

// Rounds to 44 significant bits, so that (steps from the anchor) * step is exact for
// fewer than 2^9 steps.
template <class V>
inline typename V::D RoundTo44Bits(typename V::D a) {
    const typename V::D c = V::Mul(a, V::Set1(513.0));  // 2^9 + 1
    return V::Sub(c, V::Sub(c, a));
}

// One chain's oscillator: sin and cos of the reference angle a_j, rotated by step each
// sample, and the amplitude (weight * level / 100) of each member partial.
template <class V>
struct Chain {
    typename V::D anchor, step, sinStep, cosStep, s, c;
    typename V::D amp[5];
    int length;  // members summed; 0 when no member is heard
};

template <class V>
Chain<V> StartChain(const typename V::D* amps, const int* members, int count,
                    typename V::D argumentAtAnchor, typename V::D stepEstimate,
                    double firstSteps) {
    Chain<V> chain{};  // an unheard chain stays all zero
    for (int i = 0; i < count; ++i) {
        chain.amp[i] = amps[members[i]];
        if (V::AnyNonZero(chain.amp[i])) chain.length = i + 1;
    }
    if (chain.length == 0) return chain;
    chain.anchor = argumentAtAnchor;
    chain.step = RoundTo44Bits<V>(stepEstimate);
    // Either the anchor is the first sample (firstSteps is 0) or time zero (the
    // argument is 0), so the first reference angle is exact.
    SinCos<V>(V::MulAdd(V::Set1(firstSteps), chain.step, chain.anchor), chain.s, chain.c);
    SinCos<V>(chain.step, chain.sinStep, chain.cosStep);
    return chain;
}

// The chain's contribution at one sample whose base argument is x, then one step on.
template <class V, bool SecondOrder>
inline typename V::D ChainSample(Chain<V>& chain, typename V::D x, typename V::D steps) {
    using D = typename V::D;
    // d = x - anchor - steps * step: each operation is exact.
    const D d = V::NegMulAdd(steps, chain.step, V::Sub(x, chain.anchor));
    D s, halfD;
    if constexpr (SecondOrder) {
        halfD = V::Mul(d, V::Set1(0.5));
        s = V::MulAdd(d, V::NegMulAdd(halfD, chain.s, chain.c), chain.s);
    } else {
        s = V::MulAdd(d, chain.c, chain.s);
    }
    D sum = V::Mul(s, chain.amp[0]);
    if (chain.length > 1) {
        D c;
        if constexpr (SecondOrder)
            c = V::NegMulAdd(d, V::MulAdd(halfD, chain.c, chain.s), chain.c);
        else
            c = V::NegMulAdd(d, chain.s, chain.c);
        for (int i = 1; i < chain.length; ++i) {
            const D twice = V::Add(s, s);
            const D doubledS = V::Mul(twice, c);         // sin 2a = 2 sin a cos a
            c = V::NegMulAdd(twice, s, V::Set1(1.0));  // cos 2a = 1 - 2 sin^2 a
            s = doubledS;
            sum = V::MulAdd(s, chain.amp[i], sum);
        }
    }
    const D rotatedS = V::MulAdd(chain.s, chain.cosStep, V::Mul(chain.c, chain.sinStep));
    chain.c = V::NegMulAdd(chain.s, chain.sinStep, V::Mul(chain.c, chain.cosStep));
    chain.s = rotatedS;
    return sum;
}

// Whether any sounding partial of the group reaches FirstOrderArgumentLimit in the
// segment. Arguments grow with |phase|, which is largest at one end of the segment.
template <class V>
bool NeedsSecondOrder(const BlockPlan& plan, int first, const BlockSegment& segment) {
    const double a = std::fabs(plan.phase[segment.begin]);
    const double b = std::fabs(plan.phase[segment.end - 1]);
    const double phase = a > b ? a : b;
    for (int lane = 0; lane < V::Lanes; ++lane) {
        const double f = plan.frequency[first + lane];
        double highest = SubharmonicMultipliers[0];  // the highest multiple of f it sounds
        for (int k = 6; k >= 1; --k) {
            if (k * f < PartialCutoffHz) {
                highest = k;
                break;
            }
        }
        if (f * highest * phase >= FirstOrderArgumentLimit) return true;
    }
    return false;
}

// The five chains of one group of voices over one segment.
template <class V>
struct GroupChains {
    Chain<V> fundamental, sixth, third, fifth, harmonic5;
    typename V::D frequency, harmonic3Frequency, harmonic5Frequency;
};

template <class V, bool SecondOrder>
void SumSegment(GroupChains<V> group, const BlockPlan& plan, const BlockSegment& segment,
                double* laneSums) {
    using D = typename V::D;
    for (int j = segment.begin; j < segment.end; ++j) {
        const D phase = V::Set1(plan.phase[j]);
        const D steps = V::Set1(plan.stepsFromAnchor[j]);
        const D g = V::Mul(group.frequency, phase);  // the fundamental's argument
        D sum = V::Zero();
        if (group.fundamental.length)
            sum = V::Add(sum, ChainSample<V, SecondOrder>(group.fundamental,
                                                          V::Mul(g, V::Set1(Quarter)), steps));
        if (group.sixth.length)
            sum = V::Add(sum, ChainSample<V, SecondOrder>(group.sixth, V::Mul(g, V::Set1(Sixth)),
                                                          steps));
        if (group.third.length)
            sum = V::Add(sum, ChainSample<V, SecondOrder>(
                                  group.third, V::Mul(group.harmonic3Frequency, phase), steps));
        if (group.fifth.length)
            sum = V::Add(sum, ChainSample<V, SecondOrder>(group.fifth, V::Mul(g, V::Set1(Fifth)),
                                                          steps));
        if (group.harmonic5.length)
            sum = V::Add(sum, ChainSample<V, SecondOrder>(
                                  group.harmonic5, V::Mul(group.harmonic5Frequency, phase), steps));
        double* lane = laneSums + j * V::Lanes;
        V::Store(lane, V::Add(V::Load(lane), sum));
    }
}

// Adds voices first .. first + Lanes - 1 into laneSums (Lanes values per sample).
template <class V>
void SumGroup(const BlockPlan& plan, int first, double* laneSums) {
    using D = typename V::D;
    const D f = V::Load(plan.frequency + first);
    const D level = V::Load(plan.level + first);
    D amps[PartialCount];
    for (int p = 0; p < PartialCount; ++p)
        amps[p] = V::Mul(V::Mul(V::Set1(plan.weight[p]), level), V::Set1(0.01));
    // Partials at or above the cut-off are silent; their arguments are not needed either.
    D harmonicFrequency[6];
    for (int k = 1; k <= 6; ++k) {
        const D kf = V::Mul(V::Set1(k), f);
        const D kept = V::Less(kf, V::Set1(PartialCutoffHz));
        amps[k - 1] = V::And(kept, amps[k - 1]);
        harmonicFrequency[k - 1] = V::And(kept, kf);
    }
    const D phaseStep = V::Set1(plan.phaseStep);
    for (int s = 0; s < plan.segmentCount; ++s) {
        const BlockSegment& segment = plan.segment[s];
        const D anchorPhase = V::Set1(segment.anchorPhase);
        const double firstSteps = plan.stepsFromAnchor[segment.begin];
        const D g = V::Mul(f, anchorPhase);
        auto subharmonic = [&](const int* members, int count, double m) {
            return StartChain<V>(amps, members, count, V::Mul(g, V::Set1(m)),
                                 V::Mul(V::Mul(f, V::Set1(m)), phaseStep), firstSteps);
        };
        auto harmonic = [&](const int* members, int count, D kf) {
            return StartChain<V>(amps, members, count, V::Mul(kf, anchorPhase),
                                 V::Mul(kf, phaseStep), firstSteps);
        };
        const GroupChains<V> group{subharmonic(ChainOfFundamental, 5, Quarter),
                                   subharmonic(ChainOfSixth, 2, Sixth),
                                   harmonic(ChainOfThird, 2, harmonicFrequency[2]),
                                   subharmonic(ChainOfFifth, 1, Fifth),
                                   harmonic(ChainOfHarmonic5, 1, harmonicFrequency[4]),
                                   f,
                                   harmonicFrequency[2],
                                   harmonicFrequency[4]};
        if (NeedsSecondOrder<V>(plan, first, segment))
            SumSegment<V, true>(group, plan, segment, laneSums);
        else
            SumSegment<V, false>(group, plan, segment, laneSums);
    }
}

// sums[j] = the sum of every planned voice at sample j.
template <class V>
void SumVoices(const BlockPlan& plan, double* sums) {
    double laneSums[SamplesPerBlock * V::Lanes] = {};
    for (int first = 0; first < plan.voiceCount; first += V::Lanes)
        SumGroup<V>(plan, first, laneSums);
    for (int j = 0; j < SamplesPerBlock; ++j) {
        double s = 0.0;
        for (int lane = 0; lane < V::Lanes; ++lane) s += laneSums[j * V::Lanes + lane];
        sums[j] = s;
    }
}

}  // namespace synth::voice_sum
