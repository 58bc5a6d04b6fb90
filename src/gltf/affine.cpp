#include "affine.h"

#include <algorithm>
#include <cmath>

namespace torvik::gltf_build {

namespace {

using Matrix3 = std::array<std::array<double, 3>, 3>;
using Point = std::array<double, 3>;

// The file's axes to glTF's: (x, y, z) becomes (x, z, -y).
constexpr Matrix3 kToGltf = {{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}};

double Length(const Point& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

Point Cross(const Point& a, const Point& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Point Scaled(const Point& v, double factor) {
  return {v[0] * factor, v[1] * factor, v[2] * factor};
}

// The unit quaternion (x, y, z, w) of a rotation matrix.
std::array<double, 4> QuaternionOf(const Matrix3& r) {
  std::array<double, 4> q;
  const double trace = r[0][0] + r[1][1] + r[2][2];
  if (trace > 0) {
    const double s = 2 * std::sqrt(trace + 1);
    q = {(r[2][1] - r[1][2]) / s, (r[0][2] - r[2][0]) / s, (r[1][0] - r[0][1]) / s, s / 4};
  } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
    const double s = 2 * std::sqrt(1 + r[0][0] - r[1][1] - r[2][2]);
    q = {s / 4, (r[0][1] + r[1][0]) / s, (r[0][2] + r[2][0]) / s, (r[2][1] - r[1][2]) / s};
  } else if (r[1][1] > r[2][2]) {
    const double s = 2 * std::sqrt(1 + r[1][1] - r[0][0] - r[2][2]);
    q = {(r[0][1] + r[1][0]) / s, s / 4, (r[1][2] + r[2][1]) / s, (r[0][2] - r[2][0]) / s};
  } else {
    const double s = 2 * std::sqrt(1 + r[2][2] - r[0][0] - r[1][1]);
    q = {(r[0][2] + r[2][0]) / s, (r[1][2] + r[2][1]) / s, s / 4, (r[1][0] - r[0][1]) / s};
  }
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  if (!std::isfinite(length) || length == 0) return {0, 0, 0, 1};
  for (double& c : q) c /= length;
  return q;
}

}  // namespace

std::optional<Affine> Inverse(const Affine& a) {
  Affine inverse;
  if (!Invert(a, inverse)) return std::nullopt;
  return inverse;
}

bool NearIdentity(const Affine& a, double extent) {
  const double size = std::max(extent, 1.0);
  const double tolerance = 1e-6;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j)
      if (!(std::fabs(a[4 * i + j] - (i == j ? 1 : 0)) <= tolerance)) return false;
    if (!(std::fabs(a[4 * i + 3]) <= tolerance * size)) return false;
  }
  return true;
}

NodeTransform GltfTransformOf(const Affine& file_map) {
  // C · A · C^T and C · t, with C the change of axes.
  Matrix3 linear{};
  NodeTransform transform;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double sum = 0;
      for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) sum += kToGltf[i][k] * file_map[4 * k + l] * kToGltf[j][l];
      linear[i][j] = sum;
    }
    for (int k = 0; k < 3; ++k) transform.translation[i] += kToGltf[i][k] * file_map[4 * k + 3];
  }
  // Columns: the rotation's axes times the scale.
  std::array<Point, 3> axis;
  for (int j = 0; j < 3; ++j) {
    axis[j] = {linear[0][j], linear[1][j], linear[2][j]};
    transform.scale[j] = Length(axis[j]);
  }
  const double det = linear[0][0] * (linear[1][1] * linear[2][2] - linear[1][2] * linear[2][1]) -
                     linear[0][1] * (linear[1][0] * linear[2][2] - linear[1][2] * linear[2][0]) +
                     linear[0][2] * (linear[1][0] * linear[2][1] - linear[1][1] * linear[2][0]);
  if (det < 0) transform.scale[0] = -transform.scale[0];
  int flat = 0;
  for (int j = 0; j < 3; ++j) {
    if (std::isfinite(transform.scale[j]) && transform.scale[j] != 0)
      axis[j] = Scaled(axis[j], 1 / transform.scale[j]);
    else
      ++flat, transform.scale[j] = std::isfinite(transform.scale[j]) ? transform.scale[j] : 0;
  }
  if (flat > 1) return transform;  // no rotation can be told
  if (flat == 1) {
    // The missing axis completes the other two.
    for (int j = 0; j < 3; ++j) {
      if (transform.scale[j] != 0) continue;
      const Point other = Cross(axis[(j + 1) % 3], axis[(j + 2) % 3]);
      const double length = Length(other);
      if (length == 0) return transform;
      axis[j] = Scaled(other, 1 / length);
    }
  }
  Matrix3 rotation;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) rotation[i][j] = axis[j][i];
  transform.rotation = QuaternionOf(rotation);
  return transform;
}

}  // namespace torvik::gltf_build
