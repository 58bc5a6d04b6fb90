// The arc tangent from basic double operations.
//
// The argument (or its inverse, above 1) is halved as an angle three times,
// atan v = 2 atan(v / (1 + sqrt(1 + v^2))), which leaves it below
// tan(pi/32), where the Taylor series converges fast; all in double-double
// arithmetic, rounded once.
#include <cmath>
#include <limits>
#include <span>

#include "double_double.h"
#include "portable_math.h"
#include "trigonometric_series.h"

namespace torvik {

namespace {

using namespace dd;

// atan v = v * sum of kAtanSeries[k] v^(2k): (-1)^k / (2k + 1).
constexpr Double2 kAtanSeries[] = {
    {0x1.0000000000000p+0, 0},
    {-0x1.5555555555555p-2, -0x1.5555555555555p-56},
    {0x1.999999999999ap-3, -0x1.999999999999ap-57},
    {-0x1.2492492492492p-3, -0x1.2492492492492p-57},
    {0x1.c71c71c71c71cp-4, 0x1.c71c71c71c71cp-58},
    {-0x1.745d1745d1746p-4, 0x1.745d1745d1746p-59},
    {0x1.3b13b13b13b14p-4, -0x1.3b13b13b13b14p-58},
    {-0x1.1111111111111p-4, -0x1.1111111111111p-60},
    {0x1.e1e1e1e1e1e1ep-5, 0x1.e1e1e1e1e1e1ep-61},
    {-0x1.af286bca1af28p-5, -0x1.af286bca1af28p-59},
    {0x1.8618618618618p-5, 0x1.8618618618618p-59},
    {-0x1.642c8590b2164p-5, -0x1.642c8590b2164p-60},
    {0x1.47ae147ae147bp-5, -0x1.eb851eb851eb8p-61},
    {-0x1.2f684bda12f68p-5, -0x1.2f684bda12f68p-59},
    {0x1.1a7b9611a7b96p-5, 0x1.1a7b9611a7b96p-61},
    {-0x1.0842108421084p-5, -0x1.0842108421084p-60},
    {0x1.f07c1f07c1f08p-6, -0x1.f07c1f07c1f08p-61},
};

// atan v for 0 <= v <= 1, to about 2^-102 of it.
Double2 AtanOfAtMostOne(Double2 v) {
  constexpr Double2 kOne = {1, 0};
  for (int i = 0; i < 3; ++i) v = Divide(v, Add(kOne, Sqrt(Add(kOne, Multiply(v, v)))));
  const std::span<const Double2> series(kAtanSeries);
  const Double2 sum = Multiply(v, Horner(Multiply(v, v), series.first(8), series.subspan(8)));
  return Scale(sum, 3);
}

// atan(n / d) for 0 < n, d <= 2 with n / d between 2^-60 and 2^60.
Double2 AtanOfRatio(double n, double d) {
  if (n <= d) return AtanOfAtMostOne(Divide({n, 0}, {d, 0}));
  return Subtract(kHalfPi, AtanOfAtMostOne(Divide({d, 0}, {n, 0})));
}

}  // namespace

double Atan(double x) {
  if (std::isnan(x)) return x;
  const double a = std::fabs(x);
  if (a < 0x1p-27) return x;  // atan x = x (1 - x^2 / 3 ...) rounds to x
  Double2 angle;
  if (a <= 1)
    angle = AtanOfAtMostOne({a, 0});
  else if (a < 0x1p60)
    angle = Subtract(kHalfPi, AtanOfAtMostOne(Divide({1, 0}, {a, 0})));
  else
    angle = Subtract(kHalfPi, {1 / a, 0});  // atan(1/a) rounds as 1/a does
  return std::signbit(x) ? -Rounded(angle) : Rounded(angle);
}

double Atan2(double y, double x) {
  if (std::isnan(x) || std::isnan(y)) return std::numeric_limits<double>::quiet_NaN();
  double a = std::fabs(y), b = std::fabs(x);
  // The angle of (b, a), in [0, pi/2].
  Double2 angle;
  if (a == 0) {
    angle = {0, 0};
  } else if (std::isinf(a)) {
    angle = std::isinf(b) ? Double2{kHalfPi.hi / 2, kHalfPi.lo / 2} : kHalfPi;
  } else if (b == 0 || std::isinf(b)) {
    angle = b == 0 ? kHalfPi : Double2{0, 0};
  } else if (a < b * 0x1p-60) {
    angle = {a / b, 0};  // atan t = t (1 - t^2 / 3 ...) rounds as t does
  } else if (b < a * 0x1p-60) {
    angle = Subtract(kHalfPi, {b / a, 0});
  } else {
    // Both scaled alike, exactly, so that the larger lies in [1, 2).
    if (std::fmax(a, b) < 0x1p-900) a *= 0x1p600, b *= 0x1p600;
    if (std::fmax(a, b) > 0x1p900) a *= 0x1p-600, b *= 0x1p-600;
    const int exponent = ExponentOf(std::fmax(a, b));
    angle = AtanOfRatio(Scale({a, 0}, -exponent).hi, Scale({b, 0}, -exponent).hi);
  }
  if (std::signbit(x)) angle = Subtract(kPi, angle);
  return std::signbit(y) ? -Rounded(angle) : Rounded(angle);
}

}  // namespace torvik
