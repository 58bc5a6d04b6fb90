// The materials of a scene's glTF, as the author made them: each 3DS
// material's colours, transparency, two sides, shininess and
// self-illumination, and its maps (texture 1 with the opacity map in its
// alpha, the bump map as a normal map, the specular and self-illumination
// maps), each placed and wrapped as the file says.  gltf_export.h states
// the rules and formulas.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gltf_builder.h"
#include "torvik32c/3dsload.h"

namespace torvik::gltf_build {

class SceneMaterials {
 public:
  SceneMaterials(GltfBuilder& builder, const std::vector<H3dsMat>& materials)
      : builder_(builder),
        materials_(materials),
        made_(materials.size()),
        normal_mapped_(materials.size()) {}

  // The glTF material of scene material `index` (-1: the default one, white
  // and two-sided), made on first use, and whether the primitives that use
  // it need texture coordinates.
  std::pair<std::size_t, bool> MaterialOf(int index);
  // Whether the glTF material of scene material `index`, once made, has a
  // normal map (its primitives need tangents).
  bool NormalMapped(int index) const {
    return index >= 0 && normal_mapped_[static_cast<std::size_t>(index)];
  }

 private:
  GltfBuilder& builder_;
  const std::vector<H3dsMat>& materials_;
  std::vector<std::optional<std::pair<std::size_t, bool>>> made_;
  std::optional<std::pair<std::size_t, bool>> default_;
  std::vector<bool> normal_mapped_;
};

}  // namespace torvik::gltf_build
