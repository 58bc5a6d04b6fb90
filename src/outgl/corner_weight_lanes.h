// Corner weights several lanes at a time, for one instruction set given as
// `Lanes` (see corner_weights.cpp and corner_weights_avx2.cpp).  Every lane
// performs the IEEE operations of CornerWeight and AcosToFloat in their
// order, so a lane's result has the scalar code's bits; a lane whose
// rounding test fails, or whose cosine is not a number, is handed to the
// scalar code.  Included by files built for different instruction sets, so
// it includes nothing and defines nothing of external linkage.
#pragma once

#include <cstddef>

#include "base/asin_polynomial.h"

namespace torvik {

// Lanes provides: D (doubles), F (floats as wide as D), kCount, Load, Set,
// Sqrt, Min, Max (of the first operand unless the second is smaller or
// larger), Less, LessEqual, Greater, Unordered, And, AndNot (~mask & value),
// Xor, Select(mask, yes, no), Bits (one bit per lane), ToFloat, Widen, Neighbours (the floats
// either side of each lane, widened) and Store.
template <class Lanes>
static inline void CornerWeightLanes(const double* a, const double* b, const double* c,
                                     float* weights, std::size_t count,
                                     float (*scalar)(double, double, double)) {
  using D = typename Lanes::D;
  const D one = Lanes::Set(1.0), half = Lanes::Set(0.5), zero = Lanes::Set(0.0);
  const D minus_one = Lanes::Set(-1.0), sign = Lanes::Set(-0.0);
  std::size_t i = 0;
  for (; i + Lanes::kCount <= count; i += Lanes::kCount) {
    const D A = Lanes::Load(a + i), B = Lanes::Load(b + i), C = Lanes::Load(c + i);
    // CornerWeight: the quotient, clamped as std::clamp does.
    const D quotient = ((C * C - A * A) - B * B) / ((2.0 * A) * B);
    const D x = Lanes::Max(Lanes::Min(quotient, one), minus_one);
    // AcosToFloat's first approximation: acos(|x|), and pi minus it for x < 0.
    const D negative = Lanes::Less(x, zero);
    const D ax = Lanes::Select(negative, Lanes::Xor(x, sign), x);
    const D small = Lanes::LessEqual(ax, half);
    const D z = Lanes::Select(small, ax, Lanes::Sqrt((1.0 - ax) * 0.5));
    const D p = AsinOfSmall(z);
    const D first = Lanes::Select(small, kHalfPiHigh - p, 2.0 * p);
    const D y = Lanes::Select(negative, kPiHigh - first, first);
    // The rounding test: the float nearest y is the answer unless a float
    // rounding midpoint lies within y * 2^-40 of y.
    const typename Lanes::F f = Lanes::ToFloat(y);
    const D fd = Lanes::Widen(f);
    D next_below, next_above;
    Lanes::Neighbours(f, next_below, next_above);
    const D below = (fd + next_below) * 0.5;
    const D above = (fd + next_above) * 0.5;
    const D margin = y * 0x1p-40;
    const D settled = Lanes::AndNot(
        Lanes::Unordered(quotient, quotient),
        Lanes::And(Lanes::Greater(fd, zero), Lanes::And(Lanes::Greater(y - below, margin),
                                                        Lanes::Greater(above - y, margin))));
    Lanes::Store(weights + i, f);
    const int settled_bits = Lanes::Bits(settled);
    if (settled_bits != (1 << Lanes::kCount) - 1)
      for (std::size_t k = 0; k < Lanes::kCount; ++k)
        if ((settled_bits >> k & 1) == 0) weights[i + k] = scalar(a[i + k], b[i + k], c[i + k]);
  }
  for (; i < count; ++i) weights[i] = scalar(a[i], b[i], c[i]);
}

}  // namespace torvik
