// What both glTF exports (of a BMF model and of a 3DS scene) build their
// documents with: the binary buffer and its views, accessors, vertex arrays
// with unit normals, materials, and textures embedded once each.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "images/texture_budget.h"
#include "torvik32c/gltf_document.h"

namespace torvik::gltf_build {

using Json = nlohmann::ordered_json;
using Vec3 = std::array<float, 3>;

// `value` clamped to [0, 1]; anything that is not a number gives 0.
float Clamped(float value);

// A factor as the shortest decimal that reads back as the same float, so that
// the JSON says 0.3 rather than 0.30000001192092896.
double Factor(float value);

// One mesh's vertices in the layout of the glTF accessors, in the export's
// axes.  Non-finite numbers are written as 0 and counted.
struct VertexArrays {
  std::vector<float> positions, normals, texcoords;  // 3, 3 and 2 per vertex
  std::size_t non_finite = 0;

  std::size_t Count() const { return positions.size() / 3; }
  // Appends a vertex; `normal` need not have unit length (UnitNormals sees to it).
  void Add(const Vec3& position, const Vec3& normal, float u, float v);
};

// Scales every normal of `arrays` to unit length; one without a direction
// takes that of the first triangle of `indices` using its vertex, and (0, 1,
// 0) when there is none.
void UnitNormals(VertexArrays& arrays, std::span<const std::uint32_t> indices);

// The colour and surface of a material, in the export's terms.
struct MaterialLook {
  std::string name;
  std::array<double, 3> base_color{1, 1, 1};  // linear, in [0, 1]
  float opacity = 1;
  float shine = 0;  // the mean of the specular colour's components, in [0, 1]
  bool double_sided = false;
  std::optional<std::size_t> texture;  // a glTF texture: base colour white
};

class GltfBuilder {
 public:
  explicit GltfBuilder(const GltfOptions& options);

  // The accessors of `arrays` as a primitive's attributes; TEXCOORD_0 only
  // when `texcoords`.  Added once per call.
  Json AddAttributes(const VertexArrays& arrays, bool texcoords);
  // The texture coordinates' accessor alone.
  std::size_t AddTexcoords(const VertexArrays& arrays);
  // An accessor of triangle indices: 16-bit when every index fits below
  // 65535 (glTF reserves the largest value), 32-bit otherwise.
  std::size_t AddIndices(std::span<const std::uint32_t> indices, std::size_t vertex_count);

  std::size_t AddMaterial(const MaterialLook& look);

  // The glTF texture of a stored texture name, embedded once per image file
  // however many names lead to it.  `what` names the user of the texture in
  // warnings ("block 3", "material 'Brick'", its name shown already), `kind`
  // what it is ("block").
  std::optional<std::size_t> TextureOf(const std::string& name, const std::string& what,
                                       const std::string& kind);

  // Appends `item` to the top-level array `name`; returns its index.
  std::size_t Add(const char* name, Json item);

  Json& json() { return document_.json; }
  // A stored name as the document's text.
  std::string NameOf(const std::string& stored) const { return NameUtf8(stored, options_.names); }
  // A stored name as a warning quotes it.
  std::string Shown(const std::string& stored) const { return ShownName(stored, options_.names); }
  void Warn(std::string warning) { document_.warnings.push_back(std::move(warning)); }
  void CountNonFinite(std::size_t count) { non_finite_ += count; }

  // The document with the buffer, the scene (whose root nodes are given) and
  // the warnings.
  GltfDocument Finish(const std::vector<std::size_t>& root_nodes) &&;

 private:
  // Appends a buffer view of the bytes at a 4-byte boundary.
  std::size_t AddView(std::span<const std::uint8_t> bytes, std::optional<int> target);
  template <class T>
  std::size_t AddView(std::span<const T> items, std::optional<int> target) {
    return AddView(
        std::span(reinterpret_cast<const std::uint8_t*>(items.data()), items.size_bytes()), target);
  }

  const GltfOptions& options_;
  GltfDocument document_;
  std::map<std::string, std::optional<std::size_t>> by_name_;  // stored name: its texture
  // Image file: its texture, or none when it failed (warned of once).
  std::map<std::string, std::optional<std::size_t>> by_file_;
  images::TextureBudget budget_;  // what the embedded images may take
  std::size_t non_finite_ = 0;
};

}  // namespace torvik::gltf_build
