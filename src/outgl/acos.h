// The arc cosine that the vertex normals use.
//
// Every build must write the same bytes, and the C runtimes' acos differ in
// the last bit for some arguments (glibc's and Windows' msvcrt.dll do), so
// the converter computes its own: only +, -, *, / and sqrt on doubles, which
// IEEE 754 makes identical everywhere with SSE2 and no contraction.  The
// result is correctly rounded, except possibly where the exact value lies
// within about 2^-100 of it of a rounding midpoint.
#pragma once

namespace torvik {

// acos(x) for x in [-1, 1]; NaN outside it and for NaN.
double Acos(double x);

// static_cast<float>(Acos(x)), several times faster.
float AcosToFloat(double x);

}  // namespace torvik
