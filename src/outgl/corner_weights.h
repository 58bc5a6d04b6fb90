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

// Corners waiting for their weights, weighed a batch at a time: each corner
// comes with a payload, and use(payload, weight) is called for every corner
// in the order they were pushed.
template <class Payload, class Use>
class CornerBatch {
 public:
  explicit CornerBatch(Use use) : use_(use) {}

  // Queues the corner with sides a and b and the opposite side c.
  void Push(double a, double b, double c, const Payload& payload) {
    a_[count_] = a;
    b_[count_] = b;
    c_[count_] = c;
    payloads_[count_] = payload;
    if (++count_ == kSize) Flush();
  }

  // Weighs the queued corners and hands them on.
  void Flush() {
    CornerWeights(a_, b_, c_, weights_, count_);
    for (std::size_t i = 0; i < count_; ++i) use_(payloads_[i], weights_[i]);
    count_ = 0;
  }

 private:
  static constexpr std::size_t kSize = 256;
  Use use_;
  std::size_t count_ = 0;
  double a_[kSize], b_[kSize], c_[kSize];
  float32 weights_[kSize];
  Payload payloads_[kSize];
};

}  // namespace torvik
