// Compares the elementary functions between two builds (the native one and
// the Windows one under Wine): acos on a fixed set of several million
// arguments in [-1, 1], and the converter's others (portable_math.h) on a
// fixed set of their own.
//
//   math_survey write system|torvik|torvik-float|portable FILE [COUNT]
//       writes acos of every argument, as raw doubles, with the C runtime's
//       std::acos, with torvik::Acos or with torvik::AcosToFloat; or
//       (portable) Sin, Cos, Atan, Atan2, Exp, Log, Pow and SrgbToLinear of
//       theirs
//   math_survey compare system|torvik|torvik-float|portable FILE [COUNT]
//       evaluates the same arguments here and reports where FILE differs: in
//       how many values, by how many units in the last place, which side is
//       correctly rounded (acos, judged in quad precision where the build has
//       it), and in how many values the float the converter keeps differs.
//
// The acos arguments: edge values, then COUNT uniform in [-1, 1], COUNT with
// random exponents (small magnitudes), and COUNT close to -1 and 1.  The
// others: COUNT pairs (x, y) of random magnitudes and signs, each made with
// exact operations so that every build has the same.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "portable_math.h"

#ifdef TORVIK_HAVE_QUADMATH
#include <quadmath.h>
#endif

namespace {

std::uint64_t Next(std::uint64_t& state) {  // splitmix64
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Uniform01(std::uint64_t& state) { return static_cast<double>(Next(state) >> 11) * 0x1p-53; }

std::vector<double> Arguments(std::size_t count) {
  std::vector<double> x;
  for (double sign : {1.0, -1.0}) {
    x.push_back(sign * 0.0);
    x.push_back(sign * 1.0);
    x.push_back(sign * 0.5);
    x.push_back(sign * std::sqrt(0.5));
    x.push_back(sign * std::numeric_limits<double>::denorm_min());
    x.push_back(sign * std::numeric_limits<double>::min());
    for (int k = 1; k <= 4096; ++k) x.push_back(sign * (1.0 - k * 0x1p-53));
    for (int e = 1; e <= 1074; ++e) x.push_back(sign * std::ldexp(1.0, -e));
    for (int d = 0; d <= 180; ++d)
      x.push_back(sign * torvik::Cos(d * 3.14159265358979323846 / 180));
  }
  std::uint64_t state = 20240229;
  for (std::size_t i = 0; i < count; ++i) x.push_back(2 * Uniform01(state) - 1);
  while (x.size() < 2 * count) {
    std::uint64_t bits = Next(state);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (std::fabs(value) <= 1) x.push_back(value);
  }
  for (std::size_t i = 0; i < count; ++i) {
    const double gap = std::ldexp(Uniform01(state), -static_cast<int>(Next(state) % 48));
    x.push_back((i % 2 == 0 ? 1.0 : -1.0) * (1.0 - gap));
  }
  return x;
}

// Of COUNT pairs (x, y): Sin, Cos and Atan of x, Atan2(y, x), Exp of x
// within its range, Log of |x|, Pow(|x|, y) and SrgbToLinear of a value in
// [0, 1].
constexpr const char* kPortableNames[] = {"Sin", "Cos", "Atan", "Atan2",
                                          "Exp", "Log", "Pow",  "SrgbToLinear"};
constexpr std::size_t kPortableCount = sizeof kPortableNames / sizeof kPortableNames[0];

std::vector<double> PortableValues(std::size_t count) {
  std::uint64_t state = 20250606;
  std::vector<double> values;
  values.reserve(count * kPortableCount);
  for (std::size_t i = 0; i < count; ++i) {
    // A magnitude 2^-40 .. 2^40 (and, for one pair in 16, any of 2^-1000 ..
    // 2^1000), a sign, and a second such number.
    const auto number = [&](int reach) {
      const int exponent = static_cast<int>(Next(state) % (2 * reach + 1)) - reach;
      double x = 1 + Uniform01(state);
      for (int e = exponent; e > 0; e -= 50) x *= e >= 50 ? 0x1p50 : static_cast<double>(1ull << e);
      for (int e = exponent; e < 0; e += 50)
        x *= e <= -50 ? 0x1p-50 : 1.0 / static_cast<double>(1ull << -e);
      return Next(state) % 2 == 0 ? x : -x;
    };
    const int reach = i % 16 == 0 ? 1000 : 40;
    const double x = number(reach), y = number(reach);
    values.push_back(torvik::Sin(x));
    values.push_back(torvik::Cos(x));
    values.push_back(torvik::Atan(x));
    values.push_back(torvik::Atan2(y, x));
    values.push_back(torvik::Exp(std::fmod(x, 709.0)));
    values.push_back(torvik::Log(std::fabs(x)));
    values.push_back(torvik::Pow(std::fabs(x) < 0x1p-20 ? std::fabs(x) * 0x1p20 : std::fabs(x),
                                 std::fmod(y, 30.0)));
    values.push_back(torvik::SrgbToLinear(Uniform01(state)));
  }
  return values;
}

double Evaluate(const std::string& which, double x) {
  if (which == "torvik") return torvik::Acos(x);
  if (which == "torvik-float") return torvik::AcosToFloat(x);
  return std::acos(x);
}

std::int64_t Ordered(double value) {
  std::int64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
}

// Which of two neighbouring doubles acos(x) rounds to: -1 for a, 1 for b,
// 0 when the build cannot tell.
int CorrectlyRounded([[maybe_unused]] double x, [[maybe_unused]] double a,
                     [[maybe_unused]] double b) {
#ifdef TORVIK_HAVE_QUADMATH
  const __float128 exact = acosq(static_cast<__float128>(x));
  const __float128 da = fabsq(exact - a), db = fabsq(exact - b);
  return da < db ? -1 : db < da ? 1 : 0;
#else
  return 0;
#endif
}

int Write(const std::string& which, const char* path, std::size_t count) {
  std::vector<double> y;
  if (which == "portable") {
    y = PortableValues(count);
  } else {
    const std::vector<double> x = Arguments(count);
    y.resize(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) y[i] = Evaluate(which, x[i]);
  }
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr || std::fwrite(y.data(), sizeof(double), y.size(), file) != y.size() ||
      std::fclose(file) != 0) {
    std::perror(path);
    return 1;
  }
  return 0;
}

bool ReadValues(const char* path, std::vector<double>& values) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr ||
      std::fread(values.data(), sizeof(double), values.size(), file) != values.size()) {
    std::fprintf(stderr, "%s: can't read %zu values\n", path, values.size());
    if (file != nullptr) std::fclose(file);
    return false;
  }
  std::fclose(file);
  return true;
}

int ComparePortable(const char* path, std::size_t count) {
  const std::vector<double> here = PortableValues(count);
  std::vector<double> there(here.size());
  if (!ReadValues(path, there)) return 1;
  std::size_t differ[kPortableCount] = {}, total = 0;
  for (std::size_t i = 0; i < here.size(); ++i) {
    if (Ordered(here[i]) == Ordered(there[i])) continue;
    ++differ[i % kPortableCount], ++total;
    if (total <= 10)
      std::printf("%s of pair %zu: %a here, %a there\n", kPortableNames[i % kPortableCount],
                  i / kPortableCount, here[i], there[i]);
  }
  std::printf("portable functions: %zu pairs,", count);
  for (std::size_t f = 0; f < kPortableCount; ++f)
    std::printf(" %s %zu", kPortableNames[f], differ[f]);
  std::printf(" differ\n");
  return total == 0 ? 0 : 3;
}

int Compare(const std::string& which, const char* path, std::size_t count) {
  if (which == "portable") return ComparePortable(path, count);
  const std::vector<double> x = Arguments(count);
  std::vector<double> other(x.size());
  if (!ReadValues(path, other)) return 1;
  std::size_t differ = 0, float_differ = 0, here_right = 0, there_right = 0, undecided = 0;
  std::int64_t max_ulps = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double here = Evaluate(which, x[i]);
    if (Ordered(here) == Ordered(other[i])) continue;
    ++differ;
    const std::int64_t ulps = std::llabs(Ordered(here) - Ordered(other[i]));
    if (ulps > max_ulps) max_ulps = ulps;
    if (static_cast<float>(here) != static_cast<float>(other[i])) {
      ++float_differ;
      std::printf("float differs: acos(%a) = %a here, %a there\n", x[i], here, other[i]);
    }
    const int right = ulps == 1 ? CorrectlyRounded(x[i], here, other[i]) : 0;
    (right < 0 ? here_right : right > 0 ? there_right : undecided) += 1;
    if (differ <= 10)
      std::printf("acos(%a) = %a here, %a there (%lld ulp)\n", x[i], here, other[i],
                  static_cast<long long>(ulps));
  }
  std::printf("%s acos: %zu arguments, %zu differ (at most %lld ulp), %zu differ as float\n",
              which.c_str(), x.size(), differ, static_cast<long long>(max_ulps), float_differ);
  std::printf("where they differ, correctly rounded: here %zu, there %zu, undecided %zu\n",
              here_right, there_right, undecided);
  return differ == 0 ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string which = argc > 2 ? argv[2] : "";
  if (argc < 4 ||
      (which != "system" && which != "torvik" && which != "torvik-float" && which != "portable")) {
    std::fprintf(
        stderr,
        "usage: math_survey write|compare system|torvik|torvik-float|portable FILE [COUNT]\n");
    return 2;
  }
  const std::size_t count = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 2000000;
  const std::string mode = argv[1];
  if (mode == "write") return Write(argv[2], argv[3], count);
  if (mode == "compare") return Compare(argv[2], argv[3], count);
  std::fprintf(stderr, "math_survey: unknown mode %s\n", argv[1]);
  return 2;
}
