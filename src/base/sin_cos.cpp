// Sine and cosine from basic double operations.
//
// The argument is reduced to x = q pi/2 + r, |r| <= pi/4, with the exact
// bits of 2/pi (integer arithmetic on 32-bit words, for any finite double,
// so that even the angles closest to a multiple of pi/2 keep about 2^-100
// of r), then sin r or cos r is summed as a Taylor series in double-double
// arithmetic and rounded once.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

#include "double_double.h"
#include "portable_math.h"
#include "trigonometric_series.h"

namespace torvik {

namespace {

using namespace dd;

// 2/pi = sum of kTwoOverPi[j] 2^(-32 (j + 1)): enough words for the
// largest doubles.
constexpr std::uint32_t kTwoOverPi[] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561,
    0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484,
    0xE99C7026, 0xB45F7E41, 0x3991D639, 0x835339F4, 0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F,
    0xEF2F118B, 0x5A0A6D1F, 0x6D367ECF, 0x27CB09B7, 0x4F463F66, 0x9E5FEA2D, 0x7527BAC7, 0xEBE5F17B,
    0x3D0739F7, 0x8A5292EA, 0x6BFB5FB1, 0x1F8D5D08, 0x56033046, 0xFC7B6BAB, 0xF0CFBC20, 0x9AF4361D,
};

// How many words of 2/pi multiply the argument: 256 bits, of which at least
// 222 lie below the binary point of the product.
constexpr int kWords = 8;

// x = quadrant pi/2 + r, modulo 2 pi.
struct Reduced {
  unsigned quadrant;
  Double2 r;
};

// The bits [position, position + count) of a little-endian array of 32-bit
// limbs, count <= 64; bits below the first limb are zero.
std::uint64_t LimbBits(std::span<const std::uint32_t> limbs, int position, int count) {
  std::uint64_t bits = 0;
  for (int i = count - 1; i >= 0; --i) {
    const int at = position + i;
    const std::uint64_t bit =
        at < 0 ? 0 : (limbs[static_cast<std::size_t>(at / 32)] >> (at % 32)) & 1;
    bits = bits << 1 | bit;
  }
  return bits;
}

// For a finite x >= pi/4.  x = m 2^e with m an integer of 53 bits; x 2/pi
// is m times the words of 2/pi, of which those that only add multiples of 4
// are left out and those beyond the window add less than 2^-170.
Reduced ReduceLarge(double x) {
  const std::uint64_t bits = BitsOf(x);
  const int e = static_cast<int>(bits >> 52) - 1075;
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
  const int first = e >= 2 ? (e - 2) / 32 : 0;
  std::uint32_t product[kWords + 2] = {};  // least significant first
  const std::uint64_t m_limbs[2] = {m & 0xFFFFFFFF, m >> 32};
  for (int i = 0; i < kWords; ++i) {
    const std::uint64_t word = kTwoOverPi[first + kWords - 1 - i];
    std::uint64_t carry = 0;
    for (int k = 0; k < 2; ++k) {
      const std::uint64_t t = word * m_limbs[k] + product[i + k] + carry;
      product[i + k] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    for (int k = i + 2; carry != 0 && k < kWords + 2; ++k) {
      const std::uint64_t t = product[k] + carry;
      product[k] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
  }
  // The product's binary point lies `point` bits from its bottom.
  const int point = 32 * (first + kWords) - e;
  Reduced reduced{static_cast<unsigned>(LimbBits(product, point, 2)), {0, 0}};
  // The fraction, 192 bits, most significant word first.
  std::uint64_t f[3] = {LimbBits(product, point - 64, 64), LimbBits(product, point - 128, 64),
                        LimbBits(product, point - 192, 64)};
  const bool negative = (f[0] >> 63) != 0;  // a fraction of 1/2 or more: the next quadrant less
  if (negative) {
    ++reduced.quadrant;
    std::uint64_t carry = 1;
    for (int i = 2; i >= 0; --i) {
      f[i] = ~f[i] + carry;
      carry = carry != 0 && f[i] == 0 ? 1 : 0;
    }
  }
  reduced.quadrant &= 3;
  // Normalised so that the leading bit is the top one, then cut into two
  // doubles of 53 bits.
  int shift = 0;
  while (shift < 192 && f[0] == 0) {
    f[0] = f[1], f[1] = f[2], f[2] = 0;
    shift += 64;
  }
  if (f[0] == 0) return reduced;  // no double is a multiple of pi/2 but 0
  const int lead = std::countl_zero(f[0]);
  if (lead > 0) {
    f[0] = f[0] << lead | f[1] >> (64 - lead);
    f[1] = f[1] << lead | f[2] >> (64 - lead);
    f[2] <<= lead;
  }
  shift += lead;
  const std::uint64_t high = f[0] >> 11;
  const std::uint64_t low = (f[0] & 0x7FF) << 42 | f[1] >> 22;
  const Double2 scaled = FastTwoSum(static_cast<double>(high), static_cast<double>(low) * 0x1p-53);
  // The fraction is scaled * 2^(-53 - shift), the angle that times pi/2.
  Double2 fraction = shift + 53 <= 1022 ? Scale(scaled, -53 - shift) : Double2{0, 0};
  if (negative) fraction = Negate(fraction);
  reduced.r = Multiply(fraction, kHalfPi);
  return reduced;
}

Reduced Reduce(double x) {
  if (x <= kHalfPiHigh / 2) return {0, {x, 0}};
  return ReduceLarge(x);
}

// sin r and cos r for |r| <= pi/4, to about 2^-104 of them.
Double2 SineOf(Double2 r) {
  const std::span<const Double2> series(kSineSeries);
  return Multiply(r, Horner(Multiply(r, r), series.first(9), series.subspan(9)));
}

Double2 CosineOf(Double2 r) {
  const std::span<const Double2> series(kCosineSeries);
  return Horner(Multiply(r, r), series.first(9), series.subspan(9));
}

}  // namespace

double Sin(double x) {
  if (!std::isfinite(x)) return std::numeric_limits<double>::quiet_NaN();
  const double a = std::fabs(x);
  if (a < 0x1p-26) return x;  // sin x = x (1 - x^2 / 6 ...) rounds to x
  const Reduced reduced = Reduce(a);
  Double2 value = reduced.quadrant % 2 == 0 ? SineOf(reduced.r) : CosineOf(reduced.r);
  if (reduced.quadrant >= 2) value = Negate(value);
  if (x < 0) value = Negate(value);
  return Rounded(value);
}

double Cos(double x) {
  if (!std::isfinite(x)) return std::numeric_limits<double>::quiet_NaN();
  const double a = std::fabs(x);
  if (a < 0x1p-27) return 1;  // cos x = 1 - x^2 / 2 ... rounds to 1
  const Reduced reduced = Reduce(a);
  Double2 value = reduced.quadrant % 2 == 0 ? CosineOf(reduced.r) : SineOf(reduced.r);
  if (reduced.quadrant == 1 || reduced.quadrant == 2) value = Negate(value);
  return Rounded(value);
}

}  // namespace torvik
