// The polynomial behind the arc cosine's first approximation, written once
// for a double and for vectors of doubles (GCC's and Clang's vector types
// take the same operators), so that every lane performs exactly the
// operations of the scalar code, in the same order.  The header holds
// nothing but constants and a template of internal linkage: a file built for
// a wider instruction set can include it without lending its code to others.
#pragma once

namespace torvik {

inline constexpr double kHalfPiHigh = 0x1.921fb54442d18p+0;
inline constexpr double kPiHigh = 0x1.921fb54442d18p+1;

// asin(z) = z * sum of kAsin[k] z^(2k) for |z| <= 1/2: a Chebyshev fit of
// asin(sqrt(w)) / sqrt(w) on [0, 1/4], within 2^-55 of it.
inline constexpr double kAsin[] = {
    0x1.0000000000000p+0, 0x1.55555555552e8p-3, 0x1.3333333376f72p-4, 0x1.6db6db3f6ab67p-5,
    0x1.f1c72cd28e80ep-6, 0x1.6e89eb5d53be8p-6, 0x1.1c6c3174d2c6cp-6, 0x1.c6fa80ecbc528p-7,
    0x1.8eca859efd756p-7, 0x1.abe782937810cp-8, 0x1.3fb56afe1f551p-6, -0x1.0936d81a7fa7ap-6,
    0x1.0528696a694a6p-5,
};

// The even and the odd terms of the sum in z^2 are summed apart, which
// halves the chain of dependent operations.
template <class Real>
static inline Real AsinOfSmall(Real z) {
  constexpr int kLast = static_cast<int>(sizeof kAsin / sizeof kAsin[0]) - 1;
  static_assert(kLast % 2 == 0);
  const Real w = z * z;
  const Real w2 = w * w;
  Real even = Real{} + kAsin[kLast], odd = Real{} + kAsin[kLast - 1];  // in every lane
  for (int k = kLast - 2; k >= 2; k -= 2) {
    even = even * w2 + kAsin[k];
    odd = odd * w2 + kAsin[k - 1];
  }
  even = even * w2 + kAsin[0];
  return z * (even + w * odd);
}

}  // namespace torvik
