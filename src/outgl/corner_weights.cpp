// Corner weights one at a time, and many at a time with SSE2 (the baseline
// of every x86 build, the 32-bit one included) or, on 64-bit x86 processors
// that have it, AVX2.
#include "corner_weights.h"

#include <algorithm>
#include <cmath>

#include "base/portable_math.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvik {

float32 CornerWeight(double a, double b, double c) {
  const double result = ((c * c - a * a) - b * b) / ((2 * a) * b);
  if (std::isnan(result)) return 0.0f;
  return AcosToFloat(std::clamp(result, -1.0, 1.0));  // float32(Acos(...))
}

#if defined(TORVIK_AVX2_LANES)
// corner_weights_avx2.cpp, built for AVX2.
void CornerWeightsAvx2(const double* a, const double* b, const double* c, float32* weights,
                       std::size_t count);
#endif

}  // namespace torvik

#if defined(__SSE2__)
#include "corner_weight_lanes.h"

namespace torvik {

namespace {

struct Sse2 {
  using D = __m128d;
  using F = __m128;  // the low two floats
  static constexpr std::size_t kCount = 2;
  static D Load(const double* p) { return _mm_loadu_pd(p); }
  static D Set(double v) { return _mm_set1_pd(v); }
  static D Sqrt(D v) { return _mm_sqrt_pd(v); }
  static D Min(D v, D bound) { return _mm_min_pd(v, bound); }
  static D Max(D v, D bound) { return _mm_max_pd(v, bound); }
  static D Less(D l, D r) { return _mm_cmplt_pd(l, r); }
  static D LessEqual(D l, D r) { return _mm_cmple_pd(l, r); }
  static D Greater(D l, D r) { return _mm_cmpgt_pd(l, r); }
  static D Unordered(D l, D r) { return _mm_cmpunord_pd(l, r); }
  static D And(D l, D r) { return _mm_and_pd(l, r); }
  static D AndNot(D mask, D v) { return _mm_andnot_pd(mask, v); }
  static D Xor(D l, D r) { return _mm_xor_pd(l, r); }
  static D Select(D mask, D yes, D no) {
    return _mm_or_pd(_mm_and_pd(mask, yes), _mm_andnot_pd(mask, no));
  }
  static int Bits(D mask) { return _mm_movemask_pd(mask); }
  static F ToFloat(D v) { return _mm_cvtpd_ps(v); }
  static D Widen(F f) { return _mm_cvtps_pd(f); }
  static void Neighbours(F f, D& below, D& above) {
    const __m128i bits = _mm_castps_si128(f), one = _mm_set1_epi32(1);
    below = _mm_cvtps_pd(_mm_castsi128_ps(_mm_sub_epi32(bits, one)));
    above = _mm_cvtps_pd(_mm_castsi128_ps(_mm_add_epi32(bits, one)));
  }
  static void Store(float* out, F f) { _mm_storel_pi(reinterpret_cast<__m64*>(out), f); }
};

}  // namespace

}  // namespace torvik
#endif

namespace torvik {

void CornerWeights(const double* a, const double* b, const double* c, float32* weights,
                   std::size_t count) {
#if defined(TORVIK_AVX2_LANES)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return CornerWeightsAvx2(a, b, c, weights, count);
#endif
  CornerWeightsWithoutAvx2(a, b, c, weights, count);
}

void CornerWeightsWithoutAvx2(const double* a, const double* b, const double* c, float32* weights,
                              std::size_t count) {
#if defined(__SSE2__)
  CornerWeightLanes<Sse2>(a, b, c, weights, count, CornerWeight);
#else
  for (std::size_t i = 0; i < count; ++i) weights[i] = CornerWeight(a[i], b[i], c[i]);
#endif
}

}  // namespace torvik
