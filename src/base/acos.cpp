// A correctly rounded arc cosine from basic double operations.
//
// A first approximation y0 within a few units in the last place comes from a
// polynomial for the arcsine; one Newton step on cos(y) = x, with cos(y0)
// evaluated in double-double arithmetic, brings the error down to about 2^-100 of the
// result, and the final sum y0 + correction is rounded once.  Negative
// arguments use acos(x) = pi - acos(-x), so the step only ever works on
// angles in [0, pi/2], where it converges well.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>

#include "asin_polynomial.h"
#include "double_double.h"
#include "portable_math.h"
#include "trigonometric_series.h"

namespace torvik {

namespace {

using namespace dd;

// sin(v) to about 2^-104 of it, for |v| <= pi/6: there the terms from
// v^15 on are below 2^-53 of the sum and are added in double.
Double2 Sine(Double2 v) {
  const std::span<const Double2> series(kSineSeries);
  return Multiply(v, Horner(Multiply(v, v), series.first(7), series.subspan(7, 6)));
}

// acos(x) for x in [0, 1], within a few units in the last place.
double FirstApproximation(double x) {
  if (x <= 0.5) return kHalfPi.hi - AsinOfSmall(x);
  return 2 * AsinOfSmall(std::sqrt((1 - x) * 0.5));  // 1 - x is exact for x >= 1/2
}

// acos(x) for x in [0, 1) as y0 + correction, to about 2^-100 of it.
Double2 AcosOfNonNegative(double x) {
  const double y0 = FirstApproximation(x);
  const double one_minus_x = 1 - x;
  double residual;  // cos(y0) - x
  if (x <= 0.5) {
    // cos(y0) = sin(pi/2 - y0), with pi/2 - y0 in [0, pi/6].
    const Double2 u = TwoSum(kHalfPi.hi - y0, kHalfPi.lo);  // the first difference is exact
    const Double2 cosine = Sine({u.hi, u.lo + kHalfPiTail});
    residual = Add(cosine, {-x, 0}).hi;
  } else {
    // cos(y0) - x = (1 - x) - 2 sin^2(y0 / 2), with y0 / 2 in (0, pi/6].
    const Double2 s = Sine({y0 * 0.5, 0});
    const Double2 twice_square = Multiply(s, {2 * s.hi, 2 * s.lo});
    residual = Add({one_minus_x, 0}, {-twice_square.hi, -twice_square.lo}).hi;
  }
  // Newton: cos(y0 + d) = x for d = (cos(y0) - x) / sin(y).
  const double sine_of_result = std::sqrt(one_minus_x * (1 + x));
  return FastTwoSum(y0, residual / sine_of_result);
}

// The positive float next to a positive finite f, below (-1) or above (1).
double NextFloat(float f, int direction) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  bits = direction < 0 ? bits - 1 : bits + 1;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

}  // namespace

double Acos(double x) {
  if (!(x >= -1 && x <= 1)) return std::numeric_limits<double>::quiet_NaN();
  if (x == 1) return 0;
  if (x == -1) return kPi.hi;
  if (x >= 0) return AcosOfNonNegative(x).hi;
  const Double2 t = AcosOfNonNegative(-x);
  return Add(kPi, {-t.hi, -t.lo}).hi;
}

float AcosToFloat(double x) {
  if (!(x >= -1 && x <= 1)) return std::numeric_limits<float>::quiet_NaN();
  // The first approximation is far closer than 2^-40 of the result, so its
  // float is the answer unless a float rounding midpoint is that close.
  const double y = x >= 0 ? FirstApproximation(x) : kPi.hi - FirstApproximation(-x);
  const float f = static_cast<float>(y);
  if (f > 0) {
    const double below = (static_cast<double>(f) + NextFloat(f, -1)) * 0.5;
    const double above = (static_cast<double>(f) + NextFloat(f, 1)) * 0.5;
    const double margin = y * 0x1p-40;
    if (y - below > margin && above - y > margin) return f;
  }
  return static_cast<float>(Acos(x));
}

}  // namespace torvik
