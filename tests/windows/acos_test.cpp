// The converter's own arc cosine against the C runtime's, on many values.
// Where the two differ, the converter's must be the correctly rounded one,
// judged in quad precision where the compiler has it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "../../src/base/portable_math.h"
#include "../../src/outgl/corner_weights.h"

#ifdef TORVIK_HAVE_QUADMATH
#include <quadmath.h>
#endif

namespace {

std::vector<double> Arguments() {
  std::vector<double> x = {0.0,
                           -0.0,
                           0.5,
                           -0.5,
                           1.0,
                           -1.0,
                           std::numeric_limits<double>::min(),
                           std::numeric_limits<double>::denorm_min()};
  for (int k = 1; k <= 2000; ++k) {
    x.push_back(1.0 - k * 0x1p-53);
    x.push_back(-1.0 + k * 0x1p-53);
  }
  for (int e = 1; e <= 1074; e += 7) x.push_back(std::ldexp(1.0, -e));
  std::uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) * 0x1p-53;
  };
  for (int i = 0; i < 400000; ++i) x.push_back(2 * next() - 1);
  for (int i = 0; i < 100000; ++i)  // close to -1 and 1
    x.push_back((i % 2 != 0 ? 1 : -1) * (1 - std::ldexp(next(), -static_cast<int>(next() * 50))));
  return x;
}

std::int64_t UlpsApart(double a, double b) {
  return static_cast<std::int64_t>(std::fabs(a - b) /
                                   (std::nextafter(std::fabs(a), 4.0) - std::fabs(a)));
}

// +1 when `ours` is closer to acos(x) than `theirs`, -1 when farther, 0 when
// this build can't tell.
int Closer([[maybe_unused]] double x, [[maybe_unused]] double ours,
           [[maybe_unused]] double theirs) {
#ifdef TORVIK_HAVE_QUADMATH
  const __float128 exact = acosq(static_cast<__float128>(x));
  const __float128 d_ours = fabsq(exact - ours), d_theirs = fabsq(exact - theirs);
  return d_ours < d_theirs ? 1 : d_ours > d_theirs ? -1 : 0;
#else
  return 0;
#endif
}

TEST(Acos, EdgeValues) {
  EXPECT_EQ(torvik::Acos(1.0), 0.0);
  EXPECT_EQ(torvik::Acos(-1.0), 0x1.921fb54442d18p+1);  // pi rounded
  EXPECT_EQ(torvik::Acos(0.0), 0x1.921fb54442d18p+0);   // pi/2 rounded
  EXPECT_EQ(torvik::Acos(-0.0), 0x1.921fb54442d18p+0);
  EXPECT_EQ(torvik::Acos(0.5), 0x1.0c152382d7366p+0);  // pi/3 rounded
  for (double outside : {std::nextafter(1.0, 2.0), -2.0, std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(torvik::Acos(outside))) << outside;
    EXPECT_TRUE(std::isnan(torvik::AcosToFloat(outside))) << outside;
  }
}

TEST(Acos, AgreesWithTheSystemOrIsTheCorrectlyRoundedOne) {
  std::size_t differ = 0;
  for (double x : Arguments()) {
    const double ours = torvik::Acos(x), theirs = std::acos(x);
    if (ours == theirs) continue;
    ++differ;
    ASSERT_LE(UlpsApart(ours, theirs), 1) << std::hexfloat << x;
    ASSERT_GE(Closer(x, ours, theirs), 0)
        << std::hexfloat << "acos(" << x << "): ours " << ours << ", system " << theirs;
  }
  // The system's acos is rarely off; a large count means ours is.
  EXPECT_LT(differ, 1000u);
}

TEST(Acos, IsMonotonic) {
  double previous = torvik::Acos(-1.0);
  for (int i = 1; i <= 200000; ++i) {
    const double y = torvik::Acos(-1.0 + i * 1e-5);
    ASSERT_LE(y, previous) << i;
    previous = y;
  }
}

// AcosToFloat takes a shortcut unless a float rounding midpoint is close;
// arguments whose arc cosine is right at a midpoint take the long way.
TEST(Acos, AcosToFloatIsTheRoundedAcos) {
  for (double x : Arguments())
    ASSERT_EQ(torvik::AcosToFloat(x), static_cast<float>(torvik::Acos(x))) << std::hexfloat << x;
  for (int i = 1; i < 100000; ++i) {
    const float f = static_cast<float>(i * (3.14159 / 100000));
    const double midpoint = (static_cast<double>(f) + std::nextafter(f, 4.0f)) / 2;
    double x = std::nextafter(std::nextafter(std::cos(midpoint), -2.0), -2.0);
    for (int step = 0; step < 5; ++step, x = std::nextafter(x, 2.0))
      ASSERT_EQ(torvik::AcosToFloat(x), static_cast<float>(torvik::Acos(x))) << std::hexfloat << x;
  }
}

}  // namespace

namespace {

// Sides (a, b, c) of corners whose weights cover [0, pi]: the arguments
// above and the midpoints' neighbours, reached through the cosine rule, with
// random triangles, slivers, zero and non-finite sides.
struct Sides {
  std::vector<double> a, b, c;
  void Add(double x, double y, double z) {
    a.push_back(x);
    b.push_back(y);
    c.push_back(z);
  }
};

Sides CornerSides() {
  Sides sides;
  for (double x : Arguments()) sides.Add(1.0, 1.0, std::sqrt(2 + 2 * x));
  for (int i = 1; i < 100000; ++i) {
    const float f = static_cast<float>(i * (3.14159 / 100000));
    const double midpoint = (static_cast<double>(f) + std::nextafter(f, 4.0f)) / 2;
    const double x = -std::cos(midpoint);
    for (double c = std::nextafter(std::nextafter(std::sqrt(2 + 2 * x), 0.0), 0.0), k = 0; k < 5;
         ++k, c = std::nextafter(c, 4.0))
      sides.Add(1.0, 1.0, c);
  }
  std::uint64_t state = 99;
  auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) * 0x1p-53;
  };
  for (int i = 0; i < 200000; ++i) {
    const double a = next() * 10, b = next() * 10;
    sides.Add(a, b, i % 3 == 0 ? a + b : i % 3 == 1 ? std::fabs(a - b) : next() * 20);
  }
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double special : {0.0, -0.0, inf, nan, 1e-300, 1e300}) {
    sides.Add(special, 1.0, 1.0);
    sides.Add(1.0, special, 1.0);
    sides.Add(1.0, 1.0, special);
    sides.Add(special, special, special);
  }
  return sides;
}

std::uint32_t Bits(float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

// The weights of many corners at once are the bits of the weights one at a
// time, whether the processor's widest lanes or SSE2 compute them, at every
// offset (the last few corners of a batch take the scalar code).
TEST(Acos, CornerWeightsInBatchesAreTheScalarOnesBitForBit) {
  const Sides sides = CornerSides();
  const std::size_t count = sides.a.size();
  std::vector<float> expected(count);
  for (std::size_t i = 0; i < count; ++i)
    expected[i] = torvik::CornerWeight(sides.a[i], sides.b[i], sides.c[i]);
  for (auto batch : {torvik::CornerWeights, torvik::CornerWeightsWithoutAvx2}) {
    for (std::size_t offset = 0; offset < 4; ++offset) {
      std::vector<float> weights(count - offset);
      batch(sides.a.data() + offset, sides.b.data() + offset, sides.c.data() + offset,
            weights.data(), weights.size());
      for (std::size_t i = 0; i < weights.size(); ++i)
        ASSERT_EQ(Bits(weights[i]), Bits(expected[i + offset]))
            << std::hexfloat << "a " << sides.a[i + offset] << " b " << sides.b[i + offset] << " c "
            << sides.c[i + offset];
    }
  }
}

}  // namespace
