// The summing kernel for processors with AVX2 and FMA: four voices per 256-bit vector.
// This file alone is compiled with -mavx2 -mfma; it runs only when the processor has both.
#include <immintrin.h>

#include "synth/voice_sum.h"
#include "synth/voice_sum_kernel.h"

namespace synth {

namespace {

struct Avx2Fma {
    using D = __m256d;
    static constexpr int Lanes = 4;
    static_assert(Lanes <= MaxKernelLanes);
    static D Set1(double a) { return _mm256_set1_pd(a); }
    static D Zero() { return _mm256_setzero_pd(); }
    static D Load(const double* p) { return _mm256_loadu_pd(p); }
    static void Store(double* p, D a) { _mm256_storeu_pd(p, a); }
    static D Add(D a, D b) { return _mm256_add_pd(a, b); }
    static D Sub(D a, D b) { return _mm256_sub_pd(a, b); }
    static D Mul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D MulAdd(D a, D b, D c) { return _mm256_fmadd_pd(a, b, c); }
    static D NegMulAdd(D a, D b, D c) { return _mm256_fnmadd_pd(a, b, c); }
    static D ProductError(D a, D b, D p) { return _mm256_fmsub_pd(a, b, p); }
    static D And(D a, D b) { return _mm256_and_pd(a, b); }
    static D AndNot(D mask, D a) { return _mm256_andnot_pd(mask, a); }
    static D Or(D a, D b) { return _mm256_or_pd(a, b); }
    static D Xor(D a, D b) { return _mm256_xor_pd(a, b); }
    static D Less(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static bool AnyNonZero(D a) {
        return _mm256_movemask_pd(_mm256_cmp_pd(a, Zero(), _CMP_NEQ_UQ)) != 0;
    }
    static D Bits(long long bits) { return _mm256_castsi256_pd(_mm256_set1_epi64x(bits)); }
    static D IntAdd(D a, D b) { return Int(_mm256_add_epi64(Int(a), Int(b))); }
    static D IntSub(D a, D b) { return Int(_mm256_sub_epi64(Int(a), Int(b))); }
    template <int N>
    static D ShiftLeft(D a) {
        return Int(_mm256_slli_epi64(Int(a), N));
    }

   private:
    static __m256i Int(D a) { return _mm256_castpd_si256(a); }
    static D Int(__m256i a) { return _mm256_castsi256_pd(a); }
};

}  // namespace

void SumVoicesAvx2Fma(const BlockPlan& plan, double* sums) {
    voice_sum::SumVoices<Avx2Fma>(plan, sums);
}

}  // namespace synth
