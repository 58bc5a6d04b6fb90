#include "tangents.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace torvik::gltf_build {

namespace {

using Vector = std::array<double, 3>;

Vector Minus(const Vector& a, const Vector& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vector Times(const Vector& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
double Dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vector Cross(const Vector& a, const Vector& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vector At(const std::vector<float>& values, std::size_t vertex) {
  return {values[3 * vertex], values[3 * vertex + 1], values[3 * vertex + 2]};
}

// Any unit vector square to the unit vector n.
Vector SquareTo(const Vector& n) {
  const Vector axis = std::abs(n[0]) < 0.9 ? Vector{1, 0, 0} : Vector{0, 1, 0};
  const Vector t = Minus(axis, Times(n, Dot(n, axis)));
  return Times(t, 1 / std::sqrt(Dot(t, t)));
}

}  // namespace

std::vector<float> VertexTangents(const VertexArrays& arrays,
                                  std::span<const std::uint32_t> indices) {
  const std::size_t count = arrays.Count();
  std::vector<Vector> along_u(count, Vector{0, 0, 0}), up(count, Vector{0, 0, 0});
  for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
    const std::uint32_t corner[3] = {indices[t], indices[t + 1], indices[t + 2]};
    const Vector p0 = At(arrays.positions, corner[0]);
    const Vector e1 = Minus(At(arrays.positions, corner[1]), p0);
    const Vector e2 = Minus(At(arrays.positions, corner[2]), p0);
    // Texture coordinates with v up the image (the file's v).
    const auto u = [&](int i) { return static_cast<double>(arrays.texcoords[2 * corner[i]]); };
    const auto v = [&](int i) { return -static_cast<double>(arrays.texcoords[2 * corner[i] + 1]); };
    const double du1 = u(1) - u(0), dv1 = v(1) - v(0);
    const double du2 = u(2) - u(0), dv2 = v(2) - v(0);
    const double area = du1 * dv2 - du2 * dv1;
    if (!(area != 0) || !std::isfinite(area)) continue;
    // The directions in space of growing u and growing v, over the
    // triangle's texture area's sign: a triangle's weight is its size.
    const double sign = area > 0 ? 1 : -1;
    const Vector tu = Times(Minus(Times(e1, dv2), Times(e2, dv1)), sign);
    const Vector tv = Times(Minus(Times(e2, du1), Times(e1, du2)), sign);
    for (const std::uint32_t vertex : corner) {
      for (int c = 0; c < 3; ++c) along_u[vertex][c] += tu[c], up[vertex][c] += tv[c];
    }
  }
  std::vector<float> tangents;
  tangents.reserve(4 * count);
  for (std::size_t i = 0; i < count; ++i) {
    const Vector n = At(arrays.normals, i);
    Vector t = Minus(along_u[i], Times(n, Dot(n, along_u[i])));
    const double length = std::sqrt(Dot(t, t));
    double w = 1;
    if (length > 1e-12 && std::isfinite(length)) {
      t = Times(t, 1 / length);
      if (Dot(Cross(n, t), up[i]) < 0) w = -1;
    } else {
      t = SquareTo(n);
    }
    for (const double c : t) tangents.push_back(static_cast<float>(c));
    tangents.push_back(static_cast<float>(w));
  }
  return tangents;
}

std::vector<float> MeshTangents(const MeshArrays& arrays) {
  std::vector<std::uint32_t> indices;
  for (const MeshPart& part : arrays.parts)
    indices.insert(indices.end(), part.indices.begin(), part.indices.end());
  return VertexTangents(arrays.vertices, indices);
}

}  // namespace torvik::gltf_build
