// The pieces of a vertex normal: the weight of a triangle's corner, and the
// running angle-weighted sum with its rounding at every step.  Shared by the
// smooth normals and the normals by smoothing groups, which must round alike.
#pragma once

#include <cmath>

#include "corner_weights.h"
#include "torvik32c/outgl.h"

namespace torvik {

inline float32 Round(double value) { return static_cast<float32>(value); }

inline bool IsNonZeroNumber(float32 value) { return value != 0.0f && !std::isnan(value); }

struct Accumulator {
  float32 nx = 0, ny = 0, nz = 0, TotalAngles = 0;

  void Add(float32 VertexAngle, const SURFACE& triangle) {
    const double weight = VertexAngle;
    nx = Round(static_cast<double>(nx) + weight * static_cast<double>(triangle.n0));
    ny = Round(static_cast<double>(ny) + weight * static_cast<double>(triangle.n1));
    nz = Round(static_cast<double>(nz) + weight * static_cast<double>(triangle.n2));
    TotalAngles = Round(static_cast<double>(TotalAngles) + weight);
  }

  NORMAL Finish() const {
    float32 x = nx, y = ny, z = nz;
    if (IsNonZeroNumber(TotalAngles)) {
      x = Round(static_cast<double>(x) / static_cast<double>(TotalAngles));
      y = Round(static_cast<double>(y) / static_cast<double>(TotalAngles));
      z = Round(static_cast<double>(z) / static_cast<double>(TotalAngles));
    }
    const double dx = x, dy = y, dz = z;
    const float32 sum = Round(dx * dx + dy * dy + dz * dz);
    if (IsNonZeroNumber(sum)) {
      const double magnitude = Round(1.0 / std::sqrt(static_cast<double>(sum)));
      x = Round(dx * magnitude);
      y = Round(dy * magnitude);
      z = Round(dz * magnitude);
    }
    return NORMAL{x, y, z};
  }

  void FinishInto(VERTEX& vertex) const {
    const NORMAL n = Finish();
    vertex.nx = n.n0;
    vertex.ny = n.n1;
    vertex.nz = n.n2;
  }
};

}  // namespace torvik
