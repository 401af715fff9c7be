// The summing kernel for the x86-64 baseline: two voices per 128-bit vector, and no fused
// multiply-add, so exact products come from Dekker's splitting.
#include <immintrin.h>

#include "synth/voice_sum.h"
#include "synth/voice_sum_kernel.h"

namespace synth {

namespace {

struct Sse2 {
    using D = __m128d;
    static constexpr int Lanes = 2;
    static D Set1(double a) { return _mm_set1_pd(a); }
    static D Zero() { return _mm_setzero_pd(); }
    static D Load(const double* p) { return _mm_loadu_pd(p); }
    static void Store(double* p, D a) { _mm_storeu_pd(p, a); }
    static D Add(D a, D b) { return _mm_add_pd(a, b); }
    static D Sub(D a, D b) { return _mm_sub_pd(a, b); }
    static D Mul(D a, D b) { return _mm_mul_pd(a, b); }
    // Two roundings; the kernel relies on exactness only where the product is exact.
    static D MulAdd(D a, D b, D c) { return _mm_add_pd(_mm_mul_pd(a, b), c); }
    static D NegMulAdd(D a, D b, D c) { return _mm_sub_pd(c, _mm_mul_pd(a, b)); }
    static D ProductError(D a, D b, D p) {
        const D ah = SplitHigh(a), al = Sub(a, ah);
        const D bh = SplitHigh(b), bl = Sub(b, bh);
        return Add(Add(Add(Sub(Mul(ah, bh), p), Mul(ah, bl)), Mul(al, bh)), Mul(al, bl));
    }
    static D And(D a, D b) { return _mm_and_pd(a, b); }
    static D AndNot(D mask, D a) { return _mm_andnot_pd(mask, a); }
    static D Or(D a, D b) { return _mm_or_pd(a, b); }
    static D Xor(D a, D b) { return _mm_xor_pd(a, b); }
    static D Less(D a, D b) { return _mm_cmplt_pd(a, b); }
    static bool AnyNonZero(D a) { return _mm_movemask_pd(_mm_cmpneq_pd(a, Zero())) != 0; }
    static D Bits(long long bits) { return _mm_castsi128_pd(_mm_set1_epi64x(bits)); }
    static D IntAdd(D a, D b) { return Int(_mm_add_epi64(Int(a), Int(b))); }
    static D IntSub(D a, D b) { return Int(_mm_sub_epi64(Int(a), Int(b))); }
    template <int N>
    static D ShiftLeft(D a) {
        return Int(_mm_slli_epi64(Int(a), N));
    }

   private:
    static __m128i Int(D a) { return _mm_castpd_si128(a); }
    static D Int(__m128i a) { return _mm_castsi128_pd(a); }
    // The upper 26 bits of a (Veltkamp's splitting).
    static D SplitHigh(D a) {
        const D c = Mul(a, Set1(134217729.0));  // 2^27 + 1
        return Sub(c, Sub(c, a));
    }
};

}  // namespace

void SumVoicesSse2(const BlockPlan& plan, double* sums) {
    voice_sum::SumVoices<Sse2>(plan, sums);
}

}  // namespace synth
