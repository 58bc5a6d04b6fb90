// The exponential, the logarithm and powers from basic double operations.
//
// log x = e log 2 + 2 atanh((m - 1) / (m + 1)) for x = m 2^e with m in
// [sqrt(1/2), sqrt(2)); e^x = 2^k e^r for x = k log 2 + r, |r| <= log(2)/2;
// x^y = e^(y log x); each series summed in double-double arithmetic and
// the result rounded once.
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

#include "double_double.h"
#include "portable_math.h"

namespace torvik {

namespace {

using namespace dd;

constexpr Double2 kLn2 = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};
// log 2 as a head of 42 bits, so that k times it is exact for |k| < 2^11,
// and the rest.
constexpr double kLn2Head = 0x1.62e42fefa3800p-1;
constexpr Double2 kLn2Rest = {0x1.ef35793c76730p-45, 0x1.f97b57a079a19p-103};
constexpr double kInverseLn2 = 0x1.71547652b82fep+0;
constexpr double kSqrtTwo = 0x1.6a09e667f3bcdp+0;

// atanh s = s * sum of kAtanhSeries[k] s^(2k): 1 / (2k + 1).
constexpr Double2 kAtanhSeries[] = {
    {0x1.0000000000000p+0, 0},
    {0x1.5555555555555p-2, 0x1.5555555555555p-56},
    {0x1.999999999999ap-3, -0x1.999999999999ap-57},
    {0x1.2492492492492p-3, 0x1.2492492492492p-57},
    {0x1.c71c71c71c71cp-4, 0x1.c71c71c71c71cp-58},
    {0x1.745d1745d1746p-4, -0x1.745d1745d1746p-59},
    {0x1.3b13b13b13b14p-4, -0x1.3b13b13b13b14p-58},
    {0x1.1111111111111p-4, 0x1.1111111111111p-60},
    {0x1.e1e1e1e1e1e1ep-5, 0x1.e1e1e1e1e1e1ep-61},
    {0x1.af286bca1af28p-5, 0x1.af286bca1af28p-59},
    {0x1.8618618618618p-5, 0x1.8618618618618p-59},
    {0x1.642c8590b2164p-5, 0x1.642c8590b2164p-60},
    {0x1.47ae147ae147bp-5, -0x1.eb851eb851eb8p-61},
    {0x1.2f684bda12f68p-5, 0x1.2f684bda12f68p-59},
    {0x1.1a7b9611a7b96p-5, 0x1.1a7b9611a7b96p-61},
    {0x1.0842108421084p-5, 0x1.0842108421084p-60},
    {0x1.f07c1f07c1f08p-6, -0x1.f07c1f07c1f08p-61},
    {0x1.d41d41d41d41dp-6, 0x1.0750750750750p-60},
    {0x1.bacf914c1bad0p-6, -0x1.bacf914c1bad0p-60},
    {0x1.a41a41a41a41ap-6, 0x1.0690690690690p-60},
    {0x1.8f9c18f9c18fap-6, -0x1.f3831f3831f38p-61},
    {0x1.7d05f417d05f4p-6, 0x1.7d05f417d05f4p-62},
};

// e^r = sum of kExpSeries[n] r^n: 1 / n!.
constexpr Double2 kExpSeries[] = {
    {0x1.0000000000000p+0, 0},
    {0x1.0000000000000p+0, 0},
    {0x1.0000000000000p-1, 0},
    {0x1.5555555555555p-3, 0x1.5555555555555p-57},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {0x1.6c16c16c16c17p-10, -0x1.f49f49f49f49fp-65},
    {0x1.a01a01a01a01ap-13, 0x1.a01a01a01a01ap-73},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {0x1.27e4fb7789f5cp-22, 0x1.cbbc05b4fa99ap-76},
    {0x1.ae64567f544e4p-26, -0x1.c062e06d1f209p-80},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {0x1.93974a8c07c9dp-37, 0x1.05d6f8a2efd1fp-92},
    {0x1.ae7f3e733b81fp-41, 0x1.1d8656b0ee8cbp-97},
    {0x1.ae7f3e733b81fp-45, 0x1.1d8656b0ee8cbp-101},
    {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
    {0x1.6827863b97d97p-53, 0x1.eec01221a8b0bp-107},
    {0x1.2f49b46814157p-57, 0x1.2650f61dbdcb4p-112},
    {0x1.e542ba4020225p-62, 0x1.ea72b4afe3c2fp-120},
    {0x1.71b8ef6dcf572p-66, -0x1.d043ae40c4647p-120},
    {0x1.0ce396db7f853p-70, -0x1.aebcdbd20331cp-124},
    {0x1.761b41316381ap-75, -0x1.3423c7d91404fp-130},
    {0x1.f2cf01972f578p-80, -0x1.9ada5fcc1ab14p-135},
};

// The largest and smallest arguments whose e^x is finite and not 0.
constexpr double kMostExponent = 0x1.62e42fefa39efp+9;    // 709.78...
constexpr double kLeastExponent = -0x1.74910d52d3052p+9;  // -745.13...

// log x for a finite x > 0, to about 2^-104 of it.
Double2 LogOf(double x) {
  int e = 0;
  if (x < 0x1p-1022) x *= 0x1p54, e = -54;  // subnormal: made normal, exactly
  const std::uint64_t bits = BitsOf(x);
  e += ExponentOf(x);
  double m =
      DoubleOf((bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1023} << 52));  // in [1, 2)
  if (m > kSqrtTwo) m *= 0.5, ++e;
  const Double2 s = Divide({m - 1, 0}, TwoSum(m, 1));  // m - 1 is exact
  const std::span<const Double2> series(kAtanhSeries);
  const Double2 atanh = Multiply(s, Horner(Multiply(s, s), series.first(10), series.subspan(10)));
  return Add(Multiply({static_cast<double>(e), 0}, kLn2), {2 * atanh.hi, 2 * atanh.lo});
}

// e^t for kLeastExponent - 1 <= t <= kMostExponent + 1, rounded.
double ExpOf(Double2 t) {
  const double kd = t.hi * kInverseLn2;
  const int k = static_cast<int>(kd >= 0 ? kd + 0.5 : kd - 0.5);
  // t - k log 2: the first difference is exact (the two lie within a factor
  // of 2 of each other, or k is 0).
  Double2 r = Add({t.hi - k * kLn2Head, 0}, {t.lo, 0});
  r = Subtract(r, Multiply({static_cast<double>(k), 0}, kLn2Rest));
  const std::span<const Double2> series(kExpSeries);
  const double value = Rounded(Horner(r, series.first(14), series.subspan(14)));
  // value 2^k in two exact steps and one rounding (to infinity, to a
  // subnormal or to 0 as the result requires).
  const int half = k / 2;
  return Scale({value, 0}, half).hi * Scale({1, 0}, k - half).hi;
}

// Whether y is an integer, and an odd one.
bool IsIntegral(double y) {
  return std::fabs(y) >= 0x1p52 || y == static_cast<double>(static_cast<std::int64_t>(y));
}
bool IsOdd(double y) {
  return std::fabs(y) < 0x1p53 && IsIntegral(y) && (static_cast<std::int64_t>(y) & 1) != 0;
}

}  // namespace

double Exp(double x) {
  if (std::isnan(x)) return x;
  if (x > kMostExponent) return std::numeric_limits<double>::infinity();
  if (x < kLeastExponent) return 0;
  if (std::fabs(x) < 0x1p-54) return 1 + x;
  return ExpOf({x, 0});
}

double Log(double x) {
  if (std::isnan(x) || x < 0) return std::numeric_limits<double>::quiet_NaN();
  if (x == 0) return -std::numeric_limits<double>::infinity();
  if (std::isinf(x)) return x;
  if (x == 1) return 0;
  return Rounded(LogOf(x));
}

double Pow(double x, double y) {
  if (y == 0 || x == 1) return 1;
  if (std::isnan(x) || std::isnan(y)) return std::numeric_limits<double>::quiet_NaN();
  const double a = std::fabs(x);
  if (std::isinf(y)) {
    if (a == 1) return 1;
    return (a > 1) == (y > 0) ? std::numeric_limits<double>::infinity() : 0;
  }
  const bool negative = std::signbit(x) && IsOdd(y);
  if (x < 0 && !std::isinf(x) && !IsIntegral(y)) return std::numeric_limits<double>::quiet_NaN();
  double value;
  if (a == 0 || std::isinf(a)) {
    value = (a == 0) == (y < 0) ? std::numeric_limits<double>::infinity() : 0;
  } else {
    const Double2 t = Multiply(LogOf(a), {y, 0});
    if (t.hi > kMostExponent + 1)
      value = std::numeric_limits<double>::infinity();
    else if (t.hi < kLeastExponent - 1)
      value = 0;
    else
      value = ExpOf(t);
  }
  return negative ? -value : value;
}

double SrgbToLinear(double c) { return c <= 0.04045 ? c / 12.92 : Pow((c + 0.055) / 1.055, 2.4); }

}  // namespace torvik
