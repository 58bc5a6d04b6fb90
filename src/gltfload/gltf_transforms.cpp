#include "gltf_transforms.h"

#include <cmath>

namespace torvik::gltfload {

namespace {

double At(const Matrix& m, int row, int column) {
  return m[static_cast<std::size_t>(column * 4 + row)];
}

}  // namespace

Matrix IdentityMatrix() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

bool IsIdentity(const Matrix& m) { return m == IdentityMatrix(); }

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix product{};
  for (int column = 0; column < 4; ++column)
    for (int row = 0; row < 4; ++row) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += At(a, row, k) * At(b, k, column);
      product[static_cast<std::size_t>(column * 4 + row)] = sum;
    }
  return product;
}

Matrix LocalMatrix(const tinygltf::Node& node) {
  if (node.matrix.size() == 16) {
    Matrix m;
    for (std::size_t i = 0; i < 16; ++i) m[i] = node.matrix[i];
    return m;
  }
  Matrix m = IdentityMatrix();
  if (node.scale.size() == 3) {
    const Matrix scale = {
        node.scale[0], 0, 0, 0, 0, node.scale[1], 0, 0, 0, 0, node.scale[2], 0, 0, 0, 0, 1};
    m = scale;
  }
  if (node.rotation.size() == 4) {
    const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2],
                 w = node.rotation[3];
    const Matrix rotation = {1 - 2 * (y * y + z * z),
                             2 * (x * y + z * w),
                             2 * (x * z - y * w),
                             0,
                             2 * (x * y - z * w),
                             1 - 2 * (x * x + z * z),
                             2 * (y * z + x * w),
                             0,
                             2 * (x * z + y * w),
                             2 * (y * z - x * w),
                             1 - 2 * (x * x + y * y),
                             0,
                             0,
                             0,
                             0,
                             1};
    m = Multiply(rotation, m);
  }
  if (node.translation.size() == 3) {
    Matrix translation = IdentityMatrix();
    translation[12] = node.translation[0];
    translation[13] = node.translation[1];
    translation[14] = node.translation[2];
    m = Multiply(translation, m);
  }
  return m;
}

std::array<double, 3> TransformedPoint(const Matrix& m, const std::array<float, 3>& p) {
  std::array<double, 3> out;
  for (int row = 0; row < 3; ++row)
    out[static_cast<std::size_t>(row)] =
        At(m, row, 0) * p[0] + At(m, row, 1) * p[1] + At(m, row, 2) * p[2] + At(m, row, 3);
  return out;
}

double Determinant(const Matrix& m) {
  return At(m, 0, 0) * (At(m, 1, 1) * At(m, 2, 2) - At(m, 1, 2) * At(m, 2, 1)) -
         At(m, 0, 1) * (At(m, 1, 0) * At(m, 2, 2) - At(m, 1, 2) * At(m, 2, 0)) +
         At(m, 0, 2) * (At(m, 1, 0) * At(m, 2, 1) - At(m, 1, 1) * At(m, 2, 0));
}

std::array<double, 3> TransformedNormal(const Matrix& m, const std::array<float, 3>& n) {
  // The cofactor matrix is the determinant times the inverse transpose: its
  // sign turns it back where the transform mirrors.
  const auto cofactor = [&](int row, int column) {
    const int r0 = (row + 1) % 3, r1 = (row + 2) % 3, c0 = (column + 1) % 3, c1 = (column + 2) % 3;
    return At(m, r0, c0) * At(m, r1, c1) - At(m, r0, c1) * At(m, r1, c0);
  };
  const double sign = Determinant(m) < 0 ? -1 : 1;
  std::array<double, 3> out;
  for (int row = 0; row < 3; ++row)
    out[static_cast<std::size_t>(row)] =
        sign * (cofactor(row, 0) * n[0] + cofactor(row, 1) * n[1] + cofactor(row, 2) * n[2]);
  const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
  if (!(length > 0) || !std::isfinite(length)) return {0, 0, 0};
  for (double& c : out) c /= length;
  return out;
}

}  // namespace torvik::gltfload
