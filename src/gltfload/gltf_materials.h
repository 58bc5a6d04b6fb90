// A glTF material as the scene's material: the inverse of what the scene
// glTF export makes of a 3DS material, where it can be inverted.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tinygltf_model.h"
#include "torvik32c/model_import.h"

namespace torvik::gltfload {

// KHR_texture_transform: uv' = offset + R(rotation) S(scale) uv, in glTF's
// texture coordinates (v down).
struct UvTransform {
  std::array<double, 2> offset{0, 0};
  double rotation = 0;
  std::array<double, 2> scale{1, 1};
};

struct MaterialReading {
  H3dsMat mat;              // its texture name left to the reader (the image may be stored inside)
  bool is_default = false;  // named QZ_DEFAULT: the conversion's default material
  int image = -1;           // the base colour texture's image, or -1
  int texcoord = 0;         // the TEXCOORD_n set the texture takes
  std::optional<UvTransform> transform;
  std::vector<std::string> warnings;
};

// A colour of a 3DS material from a linear glTF colour factor: the byte
// colour whose export gives exactly `linear` (stored as byte / 256, as the
// 3DS reader stores bytes), else the float colour whose export it is.
H3dsRGBColor ColourOfLinear(const std::array<double, 3>& linear);

// The material `index` of `model`, named `name` (made unique by the reader).
MaterialReading ReadMaterial(const tinygltf::Model& model, std::size_t index,
                             const std::string& name);

// Where a texture coordinate lands after `transform`, in the scene's
// texture coordinates (v up), from glTF's (v down).
H3dsMap TransformedUv(float u, float v, const std::optional<UvTransform>& transform);

}  // namespace torvik::gltfload
