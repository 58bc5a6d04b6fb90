// The geometry behind the model's normals, private to the model builder.
#pragma once

#include <cmath>
#include <span>
#include <vector>

#include "torvik32c/outgl.h"

namespace torvik {

// Computes the unit face normal of `surface` from the positions of its
// corners.  Returns false, leaving the normal fields as they were, when the
// triangle is degenerate.
bool CalculateSurfaceNormal(std::span<const VERTEX> vertices, SURFACE& surface);

// The reversed copy that a two-sided material stores after `surface`: the
// corners p0 p2 p1 with the normal of its own corners, or, should that cross
// product round to zero, the negated normal of `surface`.
SURFACE ReversedSurface(std::span<const VERTEX> vertices, const SURFACE& surface);

// The weight of `triangle` at its corner `vertex`: pi minus the interior
// angle there.
float32 angle(const std::vector<VERTEX>& vertices, const SURFACE& triangle, dword vertex);

// The mark of a queued triangle found degenerate, in place of its first
// corner, until the drop pass removes it: no vertex has this index.
inline constexpr dword kDroppedTriangle = 0xFFFFFFFF;

// The face normal of the queued triangle at entries[0] and, for a two-sided
// material (step 2), its reversed copy at entries[1]; a degenerate triangle
// is marked for the drop pass instead.
inline void ComputeQueuedTriangle(std::span<const VERTEX> vertices, SURFACE* entries,
                                  std::size_t step) {
  if (!CalculateSurfaceNormal(vertices, entries[0])) {
    entries[0].p0 = kDroppedTriangle;
    return;
  }
  if (step == 2) entries[1] = ReversedSurface(vertices, entries[0]);
}

// Euclidean distance between the positions of two vertices, in double.
inline double distance(const VERTEX& v1, const VERTEX& v2) {
  const double dx = static_cast<double>(v1.x) - static_cast<double>(v2.x);
  const double dy = static_cast<double>(v1.y) - static_cast<double>(v2.y);
  const double dz = static_cast<double>(v1.z) - static_cast<double>(v2.z);
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace torvik
