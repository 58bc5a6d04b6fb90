// Double-double arithmetic: a number as the unevaluated sum hi + lo of two
// doubles, about 106 bits of precision, from +, -, * and / on doubles alone
// (no fused multiply-add: products are split in halves), so that it gives
// the same bits on every build.  The converter's own elementary functions
// (portable_math.h) evaluate in it and round once at the end.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>

namespace torvik::dd {

// The bits of a double, and the double of given bits (std::bit_cast, which
// Emscripten's C++ library lacks).
inline std::uint64_t BitsOf(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

inline double DoubleOf(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// An unevaluated sum hi + lo, normally with |lo| <= ulp(hi) / 2.
struct Double2 {
  double hi;
  double lo;
};

// a + b exactly.
inline Double2 TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// a + b exactly, for |a| >= |b| (or a zero).
inline Double2 FastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// a * b exactly, for |a| and |b| below 2^996 and a product that does not
// underflow.
inline Double2 TwoProduct(double a, double b) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double ca = kSplitter * a, cb = kSplitter * b;
  const double ahi = ca - (ca - a), alo = a - ahi;
  const double bhi = cb - (cb - b), blo = b - bhi;
  const double p = a * b;
  return {p, ((ahi * bhi - p) + ahi * blo + alo * bhi) + alo * blo};
}

inline Double2 Add(Double2 a, Double2 b) {
  const Double2 s = TwoSum(a.hi, b.hi);
  const Double2 t = TwoSum(a.lo, b.lo);
  Double2 r = FastTwoSum(s.hi, s.lo + t.hi);
  return FastTwoSum(r.hi, r.lo + t.lo);
}

inline Double2 Negate(Double2 a) { return {-a.hi, -a.lo}; }

inline Double2 Subtract(Double2 a, Double2 b) { return Add(a, Negate(b)); }

inline Double2 Multiply(Double2 a, Double2 b) {
  const Double2 p = TwoProduct(a.hi, b.hi);
  return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// a * 2^k exactly, for a power of two in the normal range (|k| <= 1022).
inline Double2 Scale(Double2 a, int k) {
  const double factor = DoubleOf(static_cast<std::uint64_t>(1023 + k) << 52);
  return {a.hi * factor, a.lo * factor};
}

// The exponent of a normal double: x in [2^e, 2^(e+1)).
inline int ExponentOf(double x) { return static_cast<int>((BitsOf(x) >> 52) & 0x7FF) - 1023; }

// a / b, to about 2^-104 of it.
inline Double2 Divide(Double2 a, Double2 b) {
  const double q1 = a.hi / b.hi;
  Double2 r = Subtract(a, Multiply(b, {q1, 0}));
  const double q2 = r.hi / b.hi;
  r = Subtract(r, Multiply(b, {q2, 0}));
  const double q3 = r.hi / b.hi;
  return Add(FastTwoSum(q1, q2), {q3, 0});
}

// The square root of a >= 0, to about 2^-104 of it.
inline Double2 Sqrt(Double2 a) {
  const double s = std::sqrt(a.hi);
  if (!(s > 0)) return {s, 0};
  const Double2 residual = Subtract(a, TwoProduct(s, s));
  return FastTwoSum(s, residual.hi / (2 * s));
}

// hi + lo rounded once to the nearest double.
inline double Rounded(Double2 a) { return a.hi + a.lo; }

// The sum of c[k] w^k over the terms of `head` then those of `tail`, by
// Horner's rule: the tail's terms, which the caller makes small against the
// sum, in double arithmetic on their high parts, the head's in double-double.
inline Double2 Horner(Double2 w, std::span<const Double2> head, std::span<const Double2> tail) {
  double small = 0;
  for (auto k = tail.size(); k-- > 0;) small = small * w.hi + tail[k].hi;
  Double2 sum = {small, 0};
  for (auto k = head.size(); k-- > 0;) sum = Add(Multiply(sum, w), head[k]);
  return sum;
}

}  // namespace torvik::dd
