// The converter's own sine, cosine, arc tangents, exponential, logarithm and
// powers: correctly rounded on many arguments (judged in quad precision
// where the compiler has it, else within a unit of the C runtime's), and
// the C functions' special values.
#include "../../src/base/portable_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#ifdef TORVIK_HAVE_QUADMATH
#include <quadmath.h>
#endif

namespace {

using torvik::Atan;
using torvik::Atan2;
using torvik::Cos;
using torvik::Exp;
using torvik::Log;
using torvik::Pow;
using torvik::Sin;
using torvik::SrgbToLinear;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

class Numbers {
 public:
  double Uniform(double low, double high) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return low + (high - low) * (static_cast<double>(state_ >> 11) * 0x1p-53);
  }
  // |x| spread over the binades 2^low .. 2^high, either sign.
  double Spread(int low, int high) {
    const double x = std::ldexp(Uniform(1, 2), static_cast<int>(Uniform(low, high + 1)));
    return Uniform(-1, 1) < 0 ? -x : x;
  }
  // Any finite double.
  double AnyFinite() {
    for (;;) {
      state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
      const std::uint64_t bits = state_ ^ (state_ >> 29);
      double x;
      std::memcpy(&x, &bits, sizeof x);
      if (std::isfinite(x)) return x;
    }
  }

 private:
  std::uint64_t state_ = 20250101;
};

enum class Function { sin, cos, atan, atan2, exp, log, pow, srgb };

double Ours(Function f, double x, double y) {
  switch (f) {
    case Function::sin:
      return Sin(x);
    case Function::cos:
      return Cos(x);
    case Function::atan:
      return Atan(x);
    case Function::atan2:
      return Atan2(x, y);
    case Function::exp:
      return Exp(x);
    case Function::log:
      return Log(x);
    case Function::pow:
      return Pow(x, y);
    case Function::srgb:
      return SrgbToLinear(x);
  }
  return kNan;
}

#ifdef TORVIK_HAVE_QUADMATH
using Quad = __float128;
Quad sin(Quad x) { return sinq(x); }
Quad cos(Quad x) { return cosq(x); }
Quad atan(Quad x) { return atanq(x); }
Quad atan2(Quad y, Quad x) { return atan2q(y, x); }
Quad exp(Quad x) { return expq(x); }
Quad log(Quad x) { return logq(x); }
Quad pow(Quad x, Quad y) { return powq(x, y); }
#endif

// The C runtime's in double, the exact value in quad precision.
template <class Real>
Real Reference(Function f, double x, double y) {
  using std::atan, std::atan2, std::cos, std::exp, std::log, std::pow, std::sin;
  switch (f) {
    case Function::sin:
      return sin(Real(x));
    case Function::cos:
      return cos(Real(x));
    case Function::atan:
      return atan(Real(x));
    case Function::atan2:
      return atan2(Real(x), Real(y));
    case Function::exp:
      return exp(Real(x));
    case Function::log:
      return log(Real(x));
    case Function::pow:
      return pow(Real(x), Real(y));
    case Function::srgb:
      return x <= 0.04045 ? Real(x / 12.92) : pow(Real((x + 0.055) / 1.055), Real(2.4));
  }
  return Real(kNan);
}

struct Case {
  const char* name;
  Function function;
  std::pair<double, double> (*arguments)(Numbers&);
};

constexpr Case kCases[] = {
    {"sin", Function::sin,
     [](Numbers& n) {
       return std::pair{n.Spread(-30, 24), 0.0};
     }},
    {"sin of any double", Function::sin,
     [](Numbers& n) {
       return std::pair{n.AnyFinite(), 0.0};
     }},
    {"cos", Function::cos,
     [](Numbers& n) {
       return std::pair{n.Spread(-30, 24), 0.0};
     }},
    {"cos of a float angle", Function::cos,
     [](Numbers& n) {
       return std::pair{static_cast<double>(static_cast<float>(n.Uniform(-20, 20))), 0.0};
     }},
    {"atan", Function::atan,
     [](Numbers& n) {
       return std::pair{n.Spread(-40, 70), 0.0};
     }},
    {"atan2", Function::atan2,
     [](Numbers& n) {
       return std::pair{n.Spread(-80, 80), n.Spread(-80, 80)};
     }},
    {"exp", Function::exp,
     [](Numbers& n) {
       return std::pair{n.Uniform(-708, 709), 0.0};
     }},
    {"log", Function::log,
     [](Numbers& n) {
       return std::pair{std::fabs(n.Spread(-1074, 1023)), 0.0};
     }},
    {"log near 1", Function::log,
     [](Numbers& n) {
       return std::pair{1 + n.Spread(-50, -2), 0.0};
     }},
    {"pow", Function::pow,
     [](Numbers& n) {
       return std::pair{std::fabs(n.Spread(-20, 20)), n.Uniform(-30, 30)};
     }},
    {"sRGB to linear", Function::srgb,
     [](Numbers& n) {
       return std::pair{n.Uniform(0, 1), 0.0};
     }},
};

TEST(PortableMath, CorrectlyRoundedOnManyArguments) {
  for (const Case& c : kCases) {
    Numbers numbers;
    std::size_t differ = 0;
    for (int i = 0; i < 200000; ++i) {
      const auto [x, y] = c.arguments(numbers);
      const double ours = Ours(c.function, x, y), system = Reference<double>(c.function, x, y);
#ifdef TORVIK_HAVE_QUADMATH
      ASSERT_EQ(ours, static_cast<double>(Reference<Quad>(c.function, x, y)))
          << c.name << std::hexfloat << "(" << x << ", " << y << ")";
#else
      ASSERT_LE(std::fabs(ours - system), std::fabs(std::nextafter(system, kInf) - system))
          << c.name << std::hexfloat << "(" << x << ", " << y << ")";
#endif
      if (ours != system) ++differ;
    }
    std::printf("%s: differs from the C runtime's in %zu of 200000 arguments\n", c.name, differ);
  }
}

TEST(PortableMath, SpecialValuesAreTheCFunctions) {
  // Sine and cosine: the signed zero, NaN for infinities, the angles closest
  // to multiples of pi/2, the largest double.
  EXPECT_TRUE(std::signbit(Sin(-0.0)));
  EXPECT_EQ(Cos(-0.0), 1.0);
  for (double bad : {kInf, -kInf, kNan}) {
    EXPECT_TRUE(std::isnan(Sin(bad)));
    EXPECT_TRUE(std::isnan(Cos(bad)));
  }
  EXPECT_EQ(Sin(0x1.921fb54442d18p+1), 0x1.1a62633145c07p-53);     // sin of pi rounded
  EXPECT_EQ(Cos(0x1.921fb54442d18p+0), 0x1.1a62633145c07p-54);     // cos of pi/2 rounded
  EXPECT_EQ(Cos(0x1.6ac5b262ca1ffp+849), -0x1.14ae72e6ba22fp-61);  // the hardest reduction
  EXPECT_EQ(Sin(0x1.fffffffffffffp+1023), 0x1.452fc98b34e97p-8);
  // Arc tangents: zeros, infinities and the quadrants' signs.
  const double pi = 0x1.921fb54442d18p+1, half_pi = 0x1.921fb54442d18p+0;
  EXPECT_EQ(Atan(kInf), half_pi);
  EXPECT_EQ(Atan(-kInf), -half_pi);
  EXPECT_TRUE(std::signbit(Atan(-0.0)));
  EXPECT_TRUE(std::isnan(Atan(kNan)));
  EXPECT_EQ(Atan2(0.0, -0.0), pi);
  EXPECT_EQ(Atan2(-0.0, -1.0), -pi);
  EXPECT_TRUE(std::signbit(Atan2(-0.0, 1.0)));
  EXPECT_EQ(Atan2(1.0, 0.0), half_pi);
  EXPECT_EQ(Atan2(-1.0, -0.0), -half_pi);
  EXPECT_EQ(Atan2(kInf, -kInf), 0x1.2d97c7f3321d2p+1);  // 3 pi / 4
  EXPECT_EQ(Atan2(-kInf, kInf), -0x1.921fb54442d18p-1);
  EXPECT_EQ(Atan2(1.0, kInf), 0.0);
  EXPECT_EQ(Atan2(1.0, -kInf), pi);
  EXPECT_EQ(Atan2(1e-300, 1e300), 0.0);
  EXPECT_EQ(Atan2(0x1p-1074, 1.0), 0x1p-1074);
  EXPECT_TRUE(std::isnan(Atan2(kNan, 1.0)));
  // The exponential and the logarithm at the ends of their ranges.
  EXPECT_EQ(Exp(0.0), 1.0);
  EXPECT_EQ(Exp(710.0), kInf);
  EXPECT_EQ(Exp(-746.0), 0.0);
  EXPECT_EQ(Exp(-kInf), 0.0);
  EXPECT_EQ(Exp(0x1.62e42fefa39efp+9), 0x1.fffffffffff2ap+1023);
  EXPECT_EQ(Log(1.0), 0.0);
  EXPECT_EQ(Log(0.0), -kInf);
  EXPECT_EQ(Log(kInf), kInf);
  EXPECT_TRUE(std::isnan(Log(-1.0)));
  EXPECT_EQ(Log(0x1p-1074), -0x1.74385446d71c3p+9);
  // Powers: C's rules for zeros, ones, infinities and negative bases.
  EXPECT_EQ(Pow(kNan, 0.0), 1.0);
  EXPECT_EQ(Pow(1.0, kNan), 1.0);
  EXPECT_EQ(Pow(-1.0, kInf), 1.0);
  EXPECT_EQ(Pow(0.5, kInf), 0.0);
  EXPECT_EQ(Pow(0.5, -kInf), kInf);
  EXPECT_EQ(Pow(0.0, -1.0), kInf);
  EXPECT_EQ(Pow(-0.0, -3.0), -kInf);
  EXPECT_TRUE(std::signbit(Pow(-0.0, 3.0)));
  EXPECT_EQ(Pow(-2.0, 3.0), -8.0);
  EXPECT_EQ(Pow(-2.0, 4.0), 16.0);
  EXPECT_TRUE(std::isnan(Pow(-8.0, 1.0 / 3)));
  EXPECT_EQ(Pow(-kInf, 0.5), kInf);
  EXPECT_EQ(Pow(-kInf, -3.0), -0.0);
  EXPECT_EQ(Pow(2.0, 1024.0), kInf);
  EXPECT_EQ(Pow(2.0, -1074.0), 0x1p-1074);
  EXPECT_EQ(Pow(10.0, 15.0), 1e15);
  // sRGB: its ends and the joint of its two pieces.
  EXPECT_EQ(SrgbToLinear(0), 0.0);
  EXPECT_EQ(SrgbToLinear(1), 1.0);
  EXPECT_EQ(SrgbToLinear(0.04045), 0.04045 / 12.92);
}

}  // namespace
