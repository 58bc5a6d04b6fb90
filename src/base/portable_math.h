// The elementary functions behind every number the converter writes.
//
// Every build must write the same bytes, and the C runtimes' sin, cos, pow,
// atan2 and acos differ in the last bit for some arguments (glibc's, musl's
// in WebAssembly and Windows' msvcrt.dll do), so the converter computes its
// own: only +, -, *, / and sqrt on doubles, which IEEE 754 makes identical
// everywhere with SSE2 and no contraction.  Use these, never <cmath>'s, for
// anything that reaches an output (sqrt, fabs, floor and the like are exact
// and fine).
//
// Each evaluates to about 2^-100 of its result in double-double arithmetic
// and rounds once, so the result is the correctly rounded one except where
// the exact value lies within about that of a rounding midpoint (Exp and
// Pow: about 2^-90, as their argument grows; a result in the subnormal
// range may be a unit off).  Special values follow the C functions: a NaN
// argument gives NaN, as does an argument outside the domain.
#pragma once

namespace torvik {

// Of an angle in radians, any finite one (reduced by the exact bits of
// 2/pi); NaN for infinities.
double Sin(double x);
double Cos(double x);

// The arc tangent, in [-pi/2, pi/2].
double Atan(double x);
// The angle of the point (x, y), in [-pi, pi], with C's signed zeros and
// infinities.
double Atan2(double y, double x);

// The arc cosine, in [0, pi], for x in [-1, 1].
double Acos(double x);
// static_cast<float>(Acos(x)), several times faster.
float AcosToFloat(double x);

// e^x, and the natural logarithm (of x >= 0).
double Exp(double x);
double Log(double x);

// x^y, with C's special cases; a negative x only with an integral y.
double Pow(double x, double y);

// A display (sRGB) colour component in [0, 1] as a linear one: c / 12.92
// up to 0.04045, ((c + 0.055) / 1.055)^2.4 above.
double SrgbToLinear(double c);

}  // namespace torvik
