// Arithmetic on affine maps (row-major, 3 rows of 4) in binary64.
#pragma once

#include <cmath>

#include "base/portable_math.h"
#include "torvik32c/keyframer.h"

namespace torvik {

inline Affine IdentityAffine() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}; }

inline Affine Translation(double x, double y, double z) {
  return {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z};
}

inline Affine Scaling(double x, double y, double z) { return {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0}; }

// a then b applied last: the map x -> a(b(x)).
inline Affine operator*(const Affine& a, const Affine& b) {
  Affine m{};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      double sum = c == 3 ? a[r * 4 + 3] : 0.0;
      for (int k = 0; k < 3; ++k) sum += a[r * 4 + k] * b[k * 4 + c];
      m[r * 4 + c] = sum;
    }
  }
  return m;
}

inline double Determinant(const Affine& m) {
  return m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
         m[2] * (m[4] * m[9] - m[5] * m[8]);
}

// Rotation by `angle` radians about `axis` (any length but zero), counter-
// clockwise when the axis points at the viewer.
inline Affine Rotation(double angle, double ax, double ay, double az) {
  const double length = std::sqrt(ax * ax + ay * ay + az * az);
  if (!(length > 0) || !std::isfinite(length)) return IdentityAffine();
  ax /= length, ay /= length, az /= length;
  const double c = Cos(angle), s = Sin(angle), t = 1 - c;
  return {t * ax * ax + c,      t * ax * ay - s * az, t * ax * az + s * ay, 0,
          t * ax * ay + s * az, t * ay * ay + c,      t * ay * az - s * ax, 0,
          t * ax * az - s * ay, t * ay * az + s * ax, t * az * az + c,      0};
}

// The inverse, or false when the map is singular (relative to its size).
inline bool Invert(const Affine& m, Affine& inverse) {
  const double det = Determinant(m);
  double scale = 0;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) scale = std::fmax(scale, std::fabs(m[r * 4 + c]));
  if (!std::isfinite(det) || !(std::fabs(det) > 1e-12 * scale * scale * scale)) return false;
  const double i = 1 / det;
  Affine v{};
  v[0] = (m[5] * m[10] - m[6] * m[9]) * i;
  v[1] = (m[2] * m[9] - m[1] * m[10]) * i;
  v[2] = (m[1] * m[6] - m[2] * m[5]) * i;
  v[4] = (m[6] * m[8] - m[4] * m[10]) * i;
  v[5] = (m[0] * m[10] - m[2] * m[8]) * i;
  v[6] = (m[2] * m[4] - m[0] * m[6]) * i;
  v[8] = (m[4] * m[9] - m[5] * m[8]) * i;
  v[9] = (m[1] * m[8] - m[0] * m[9]) * i;
  v[10] = (m[0] * m[5] - m[1] * m[4]) * i;
  for (int r = 0; r < 3; ++r)
    v[r * 4 + 3] = -(v[r * 4] * m[3] + v[r * 4 + 1] * m[7] + v[r * 4 + 2] * m[11]);
  inverse = v;
  return true;
}

inline void Apply(const Affine& m, const double p[3], double out[3]) {
  for (int r = 0; r < 3; ++r)
    out[r] = m[r * 4] * p[0] + m[r * 4 + 1] * p[1] + m[r * 4 + 2] * p[2] + m[r * 4 + 3];
}

}  // namespace torvik
