// A correctly rounded arc cosine from basic double operations.
//
// A first approximation y0 within a few units in the last place comes from a
// polynomial for the arcsine; one Newton step on cos(y) = x, with cos(y0)
// evaluated in double-double arithmetic, brings the error down to about 2^-100 of the
// result, and the final sum y0 + correction is rounded once.  Negative
// arguments use acos(x) = pi - acos(-x), so the step only ever works on
// angles in [0, pi/2], where it converges well.
#include "acos.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>

#include "asin_polynomial.h"

namespace torvik {

namespace {

// An unevaluated sum hi + lo with |lo| <= ulp(hi) / 2.
struct Double2 {
  double hi;
  double lo;
};

Double2 TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

Double2 FastTwoSum(double a, double b) {  // |a| >= |b|
  const double s = a + b;
  return {s, b - (s - a)};
}

Double2 TwoProduct(double a, double b) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double ca = kSplitter * a, cb = kSplitter * b;
  const double ahi = ca - (ca - a), alo = a - ahi;
  const double bhi = cb - (cb - b), blo = b - bhi;
  const double p = a * b;
  return {p, ((ahi * bhi - p) + ahi * blo + alo * bhi) + alo * blo};
}

Double2 Add(Double2 a, Double2 b) {
  const Double2 s = TwoSum(a.hi, b.hi);
  const Double2 t = TwoSum(a.lo, b.lo);
  Double2 r = FastTwoSum(s.hi, s.lo + t.hi);
  return FastTwoSum(r.hi, r.lo + t.lo);
}

Double2 Multiply(Double2 a, Double2 b) {
  const Double2 p = TwoProduct(a.hi, b.hi);
  return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

constexpr Double2 kPi = {kPiHigh, 0x1.1a62633145c07p-53};
constexpr Double2 kHalfPi = {kHalfPiHigh, 0x1.1a62633145c07p-54};
constexpr double kHalfPiTail = -0x1.f1976b7ed8fbcp-110;

// sin(v) = v * sum of kSin[k] v^(2k), with kSin[k] = (-1)^k / (2k+1)!.  For
// |v| <= pi/6 the terms from k = 7 on are below 2^-53 of the sum and are
// added in double; the others in double-double.
constexpr Double2 kSin[] = {
    {0x1.0000000000000p+0, 0},
    {-0x1.5555555555555p-3, -0x1.5555555555555p-57},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {-0x1.a01a01a01a01ap-13, -0x1.a01a01a01a01ap-73},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {-0x1.ae64567f544e4p-26, 0x1.c062e06d1f209p-80},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
};
constexpr double kSinTail[] = {
    -0x1.ae7f3e733b81fp-41, 0x1.952c77030ad4ap-49,  -0x1.2f49b46814157p-57,
    0x1.71b8ef6dcf572p-66,  -0x1.761b41316381ap-75, 0x1.3f3ccdd165fa9p-84,
};

// sin(v) to about 2^-104 of it, for |v| <= pi/6.
Double2 Sine(Double2 v) {
  const Double2 w = Multiply(v, v);
  double tail = 0;
  for (int k = static_cast<int>(std::size(kSinTail)) - 1; k >= 0; --k)
    tail = tail * w.hi + kSinTail[k];
  Double2 sum = {tail, 0};
  for (int k = static_cast<int>(std::size(kSin)) - 1; k >= 0; --k)
    sum = Add(Multiply(sum, w), kSin[k]);
  return Multiply(v, sum);
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
