// Face normals.  Every step is rounded to binary32 where the stored model
// keeps a float; products and sums in between are formed in double.
#include "surface_normal.h"

#include <cmath>

namespace torvik {

namespace {

float32 Difference(float32 a, float32 b) {
  return static_cast<float32>(static_cast<double>(a) - static_cast<double>(b));
}

float32 CrossTerm(float32 a, float32 b, float32 c, float32 d) {
  return static_cast<float32>(static_cast<double>(a) * static_cast<double>(b) -
                              static_cast<double>(c) * static_cast<double>(d));
}

}  // namespace

bool CalculateSurfaceNormal(std::span<const VERTEX> vertices, SURFACE& surface) {
  const VERTEX& P0 = vertices[surface.p0];
  const VERTEX& P1 = vertices[surface.p1];
  const VERTEX& P2 = vertices[surface.p2];
  const float32 Ai = Difference(P1.x, P0.x);
  const float32 Aj = Difference(P1.y, P0.y);
  const float32 Ak = Difference(P1.z, P0.z);
  const float32 Bi = Difference(P2.x, P1.x);
  const float32 Bj = Difference(P2.y, P1.y);
  const float32 Bk = Difference(P2.z, P1.z);
  const float32 n0 = CrossTerm(Aj, Bk, Ak, Bj);
  const float32 n1 = CrossTerm(Ak, Bi, Ai, Bk);
  const float32 n2 = CrossTerm(Ai, Bj, Aj, Bi);
  const double d0 = n0, d1 = n1, d2 = n2;
  const float32 sum = static_cast<float32>(d0 * d0 + d1 * d1 + d2 * d2);
  if (sum == 0.0f || std::isnan(sum)) return false;
  const float32 magnitude = static_cast<float32>(1.0 / std::sqrt(static_cast<double>(sum)));
  surface.n0 = static_cast<float32>(d0 * magnitude);
  surface.n1 = static_cast<float32>(d1 * magnitude);
  surface.n2 = static_cast<float32>(d2 * magnitude);
  return true;
}

SURFACE ReversedSurface(std::span<const VERTEX> vertices, const SURFACE& surface) {
  SURFACE reversed{surface.p0, surface.p2, surface.p1, -surface.n0, -surface.n1, -surface.n2};
  CalculateSurfaceNormal(vertices, reversed);
  return reversed;
}

}  // namespace torvik
