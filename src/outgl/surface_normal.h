// The geometry behind the model's normals, private to the model builder.
#pragma once

#include <vector>

#include "torvik32c/outgl.h"

namespace torvik {

// Computes the unit face normal of `surface` from the positions of its
// corners.  Returns false, leaving the normal fields as they were, when the
// triangle is degenerate.
bool CalculateSurfaceNormal(const std::vector<VERTEX>& vertices, SURFACE& surface);

// The reversed copy that a two-sided material stores after `surface`: the
// corners p0 p2 p1 with the normal of its own corners, or, should that cross
// product round to zero, the negated normal of `surface`.
SURFACE ReversedSurface(const std::vector<VERTEX>& vertices, const SURFACE& surface);

// The weight of `triangle` at its corner `vertex`: pi minus the interior
// angle there.
float32 angle(const std::vector<VERTEX>& vertices, const SURFACE& triangle, dword vertex);

// Euclidean distance between the positions of two vertices, in double.
double distance(const VERTEX& v1, const VERTEX& v2);

}  // namespace torvik
