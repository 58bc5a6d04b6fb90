// Node transforms: 4 x 4 matrices in glTF's column-major order, in double.
#pragma once

#include <array>

#include "tinygltf_model.h"

namespace torvik::gltfload {

using Matrix = std::array<double, 16>;

Matrix IdentityMatrix();
bool IsIdentity(const Matrix& m);
Matrix Multiply(const Matrix& a, const Matrix& b);

// The node's own transform: its matrix, or translation x rotation x scale.
Matrix LocalMatrix(const tinygltf::Node& node);

// Where `m` takes the point p, and (for normals) the direction `n` by the
// inverse transpose of its linear part, made unit length (zero when it
// can't be).
std::array<double, 3> TransformedPoint(const Matrix& m, const std::array<float, 3>& p);
std::array<double, 3> TransformedNormal(const Matrix& m, const std::array<float, 3>& n);

// The determinant of the linear part: below 0 the transform mirrors.
double Determinant(const Matrix& m);

}  // namespace torvik::gltfload
