// Affine maps of the 3DS file's axes (Affine: 3 rows of 4) as glTF
// nodes: the arithmetic is the library's own (3dsload/affine.h).
#pragma once

#include <array>
#include <optional>

#include "3dsload/affine.h"
#include "torvik32c/keyframer.h"

namespace torvik::gltf_build {

// The inverse, when the map is not singular.
std::optional<Affine> Inverse(const Affine& a);

// Whether `a` moves no point of a box of half-size `extent` about the origin
// by more than a millionth of that size (or of 1, whichever is larger).
bool NearIdentity(const Affine& a, double extent);

// A glTF node's transform: T · R · S.
struct NodeTransform {
  std::array<double, 3> translation{0, 0, 0};
  std::array<double, 4> rotation{0, 0, 0, 1};  // unit quaternion x, y, z, w
  std::array<double, 3> scale{1, 1, 1};
};

// The map `file_map` of the file's axes as a transform of glTF's, where the
// file's (x, y, z) is (x, z, -y), split into translation, rotation and
// scale: exact for a map T · R · S (with R a rotation and S a diagonal
// scale, negative ones included), the nearest such for any other.
NodeTransform GltfTransformOf(const Affine& file_map);

}  // namespace torvik::gltf_build
