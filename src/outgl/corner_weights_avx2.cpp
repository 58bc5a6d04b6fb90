// Corner weights four at a time with AVX2.  This file alone is built for
// AVX2 (without FMA, so nothing is contracted), and it is called only on
// processors that have it; it includes nothing whose code another file
// could share.
#include <immintrin.h>

#include <cstddef>

#include "corner_weight_lanes.h"
#include "torvik32c/types.h"

namespace torvik {

float32 CornerWeight(double a, double b, double c);

namespace {

struct Avx2 {
  using D = __m256d;
  using F = __m128;
  static constexpr std::size_t kCount = 4;
  static D Load(const double* p) { return _mm256_loadu_pd(p); }
  static D Set(double v) { return _mm256_set1_pd(v); }
  static D Sqrt(D v) { return _mm256_sqrt_pd(v); }
  static D Min(D v, D bound) { return _mm256_min_pd(v, bound); }
  static D Max(D v, D bound) { return _mm256_max_pd(v, bound); }
  static D Less(D l, D r) { return _mm256_cmp_pd(l, r, _CMP_LT_OQ); }
  static D LessEqual(D l, D r) { return _mm256_cmp_pd(l, r, _CMP_LE_OQ); }
  static D Greater(D l, D r) { return _mm256_cmp_pd(l, r, _CMP_GT_OQ); }
  static D Unordered(D l, D r) { return _mm256_cmp_pd(l, r, _CMP_UNORD_Q); }
  static D And(D l, D r) { return _mm256_and_pd(l, r); }
  static D AndNot(D mask, D v) { return _mm256_andnot_pd(mask, v); }
  static D Xor(D l, D r) { return _mm256_xor_pd(l, r); }
  static D Select(D mask, D yes, D no) { return _mm256_blendv_pd(no, yes, mask); }
  static int Bits(D mask) { return _mm256_movemask_pd(mask); }
  static F ToFloat(D v) { return _mm256_cvtpd_ps(v); }
  static D Widen(F f) { return _mm256_cvtps_pd(f); }
  static void Neighbours(F f, D& below, D& above) {
    const __m128i bits = _mm_castps_si128(f), one = _mm_set1_epi32(1);
    below = _mm256_cvtps_pd(_mm_castsi128_ps(_mm_sub_epi32(bits, one)));
    above = _mm256_cvtps_pd(_mm_castsi128_ps(_mm_add_epi32(bits, one)));
  }
  static void Store(float* out, F f) { _mm_storeu_ps(out, f); }
};

}  // namespace

void CornerWeightsAvx2(const double* a, const double* b, const double* c, float32* weights,
                       std::size_t count) {
  CornerWeightLanes<Avx2>(a, b, c, weights, count, CornerWeight);
}

}  // namespace torvik
