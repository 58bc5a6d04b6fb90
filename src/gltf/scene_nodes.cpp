#include "scene_nodes.h"

#include <cmath>

namespace torvik::gltf_build {

namespace {

// `value` as a float, or 0 (counted) when it is not a number a float holds.
template <std::size_t N>
std::array<float, N> Floats(const std::array<double, N>& values, std::size_t& non_finite) {
  std::array<float, N> floats;
  for (std::size_t i = 0; i < N; ++i) {
    const float value = static_cast<float>(values[i]);
    const bool finite = std::isfinite(values[i]) && std::isfinite(value);
    non_finite += finite ? 0 : 1;
    floats[i] = finite ? value : 0.0f;
  }
  return floats;
}

template <std::size_t N>
void Put(Json& node, const char* name, const std::array<float, N>& values,
         const std::array<float, N>& identity) {
  if (values == identity) return;
  // At the precision of the file's own numbers, as the shortest decimals.
  Json array = Json::array();
  for (const float value : values) array.push_back(Factor(value));
  node[name] = std::move(array);
}

}  // namespace

FloatTransform FloatTransformOf(const Affine& file_map, std::size_t& non_finite) {
  const NodeTransform transform = GltfTransformOf(file_map);
  return {Floats(transform.translation, non_finite), Floats(transform.rotation, non_finite),
          Floats(transform.scale, non_finite)};
}

void PutTransform(Json& node, const FloatTransform& transform) {
  Put(node, "translation", transform.translation, {0, 0, 0});
  Put(node, "rotation", transform.rotation, {0, 0, 0, 1});
  Put(node, "scale", transform.scale, {1, 1, 1});
}

Json CameraTurn() {
  const float half = 0.70710677f;  // sqrt(1/2) as a float
  return Json::array({Factor(-half), 0, 0, Factor(half)});
}

}  // namespace torvik::gltf_build
