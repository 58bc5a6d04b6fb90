// The pieces of a vertex normal: the weight of a triangle's corner, and the
// running angle-weighted sum with its rounding at every step.  Shared by the
// smooth normals and the normals by smoothing groups, which must round alike.
#pragma once

#include <cmath>
#include <vector>

#include "base/large_tables.h"
#include "corner_weights.h"
#include "surface_normal.h"
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

// Computes the normals of the vertices in [first, last): each_backwards(use)
// calls use(triangle) for the triangles that may touch them, in the order
// of the walk (degenerate triangles and reversed copies left out).
template <class EachBackwards>
void SumVertexNormals(VERTEX* vertices, std::size_t first, std::size_t last,
                      EachBackwards&& each_backwards) {
  std::vector<Accumulator> sums;
  ResizeLarge(sums, last - first);
  // Each corner is added to the sum of its vertex, in the order of the walk.
  struct Corner {
    const SURFACE* triangle;
    std::size_t sum;
  };
  auto add = [&sums](const Corner& corner, float32 weight) {
    sums[corner.sum].Add(weight, *corner.triangle);
  };
  CornerBatch<Corner, decltype(add)> batch(add);
  auto mine = [&](dword v) { return v >= first && v < last; };
  each_backwards([&](const SURFACE& s) {
    const bool in0 = mine(s.p0), in1 = mine(s.p1), in2 = mine(s.p2);
    if (!(in0 || in1 || in2)) return;
    // Each side's length is the same whichever end it is measured from.
    const VERTEX& P0 = vertices[s.p0];
    const VERTEX& P1 = vertices[s.p1];
    const VERTEX& P2 = vertices[s.p2];
    const double d01 = distance(P0, P1), d02 = distance(P0, P2), d12 = distance(P1, P2);
    if (in0) batch.Push(d01, d02, d12, {&s, s.p0 - first});
    if (in1) batch.Push(d01, d12, d02, {&s, s.p1 - first});
    if (in2) batch.Push(d02, d12, d01, {&s, s.p2 - first});
  });
  batch.Flush();
  for (std::size_t i = first; i < last; ++i) sums[i - first].FinishInto(vertices[i]);
}

}  // namespace torvik
