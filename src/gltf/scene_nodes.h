// The glTF nodes of a scene as the scene export builds them, for the parts
// of it that add nodes of their own (cameras, lights, animated meshes).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "affine.h"
#include "gltf_builder.h"

namespace torvik::gltf_build {

struct SceneNodes {
  Json& nodes;                                      // the JSON of each node
  std::vector<std::vector<std::size_t>>& children;  // each node's children
  std::vector<std::size_t>& roots;                  // the scene's root nodes

  // Appends `node` under `parent`, or as a root; returns its index.
  std::size_t Add(Json node, std::optional<std::size_t> parent) {
    const std::size_t index = nodes.size();
    nodes.push_back(std::move(node));
    children.emplace_back();
    if (parent)
      children[*parent].push_back(index);
    else
      roots.push_back(index);
    return index;
  }
};

// The glTF transform of a map of the file's axes, each number rounded to
// float as the document writes it; non-finite numbers become 0 and are
// counted in `non_finite`.
struct FloatTransform {
  std::array<float, 3> translation{0, 0, 0};
  std::array<float, 4> rotation{0, 0, 0, 1};
  std::array<float, 3> scale{1, 1, 1};
};
FloatTransform FloatTransformOf(const Affine& file_map, std::size_t& non_finite);

// Writes the parts of `transform` that are not the identity's into `node`,
// as the shortest decimals that read back as the same floats.
void PutTransform(Json& node, const FloatTransform& transform);

// The rotation that turns a glTF camera or spotlight (which looks along
// its -z axis, y up) to look as the keyframer's cameras do in the file's
// axes (along -z, y up there; in glTF's axes along -y, -z up): -90 degrees
// about x.
Json CameraTurn();

}  // namespace torvik::gltf_build
