// The weight of a triangle's corner in a vertex normal, one at a time and
// for many corners at once.  Both give the same bits on every build.
#pragma once

#include <cstddef>

#include "torvik32c/types.h"

namespace torvik {

// The weight of a corner whose two sides are a and b and whose opposite
// side is c: the arc cosine of the negated cosine of the corner, that is pi
// minus the corner's angle, rounded to float; 0 where the cosine is not a
// number.  Rounding on a sliver can push the quotient just outside [-1, 1],
// where it is clamped.
float32 CornerWeight(double a, double b, double c);

// weights[i] = CornerWeight(a[i], b[i], c[i]) for i < count.  The quotients
// and the arc cosines' first approximations and rounding tests are
// evaluated several corners at a time (AVX2 where the processor has it,
// otherwise SSE2); the few corners the test can't settle take the exact path.
void CornerWeights(const double* a, const double* b, const double* c, float32* weights,
                   std::size_t count);

// CornerWeights as a processor without AVX2 runs it.
void CornerWeightsWithoutAvx2(const double* a, const double* b, const double* c, float32* weights,
                              std::size_t count);

}  // namespace torvik
