// What both glTF exports (of a BMF model and of a 3DS scene) build their
// documents with: the binary buffer and its views, accessors, vertex arrays
// with unit normals, materials, and textures embedded once each.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "images/decode_image.h"
#include "images/texture_budget.h"
#include "map_deriver.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/material_maps.h"

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
  // The tangents' accessor (VertexTangents's four floats per vertex).
  std::size_t AddTangents(std::span<const float> tangents);
  // An accessor of triangle indices: 16-bit when every index fits below
  // 65535 (glTF reserves the largest value), 32-bit otherwise.
  std::size_t AddIndices(std::span<const std::uint32_t> indices, std::size_t vertex_count);

  std::size_t AddMaterial(const MaterialLook& look);
  // The material's JSON as AddMaterial adds it.
  Json MaterialJson(const MaterialLook& look) const;

  // An accessor of floats that no vertex buffer uses (an animation's
  // times or values), `components` to an element of type `type` ("SCALAR",
  // "VEC3", "VEC4"); with `bounds`, its min and max.
  std::size_t AddFloats(std::span<const float> values, const char* type, std::size_t components,
                        bool bounds);

  // The glTF texture of a stored texture name, embedded once per image file
  // however many names lead to it.  `what` names the user of the texture in
  // warnings ("block 3", "material 'Brick'", its name shown already), `kind`
  // what it is ("block").
  std::optional<std::size_t> TextureOf(const std::string& name, const std::string& what,
                                       const std::string& kind);

  // --- Images and textures of maps ---

  // Where the file of a stored map name is (the finder's, once per name and
  // kind); none, with a warning `about` "was not found; " `outcome` when the
  // options report missing ones.
  std::optional<std::filesystem::path> FindFile(const std::string& name, MapKind kind,
                                                const std::string& about,
                                                const std::string& outcome);
  // The glTF image of a file found, embedded once per file as viewers read
  // it (images/viewer_image.h) within the budget; none when it failed,
  // warned of once ("`about`: PATH: why; `outcome`").
  std::optional<std::size_t> ImageOfFile(const std::filesystem::path& file, const std::string& name,
                                         const std::string& about, const std::string& outcome);
  // What derives images from the maps' files, within the budget.
  MapDeriver& Deriver() { return deriver_; }
  // The glTF image of a derived image, encoded as PNG and embedded once
  // (named `name`), its pixels then given back: the PNG's bytes beyond them
  // are taken from the budget.  Throws ImageError when they don't fit or
  // the image can't be encoded.
  std::size_t DerivedImageOf(const DerivedMap& map, const std::string& name);
  // The texture of an image sampled with these wraps, made once per pair.
  std::size_t TextureOf(std::size_t image, MapWrap wrap_s, MapWrap wrap_t);
  // {"index": texture}, with KHR_texture_transform when the placement is no
  // identity.
  Json TextureInfo(std::size_t texture, const PlacementParts& placement);
  // Lists the extension in extensionsUsed.
  void UseExtension(const std::string& name);

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

  // How a file found is told from others: its path, or its identity on disk.
  std::string FileKey(const std::filesystem::path& file) const;
  std::vector<std::uint8_t> FileBytes(const std::filesystem::path& file) const;

  const GltfOptions& options_;
  GltfDocument document_;
  // Kind and stored name: the file found.
  std::map<std::pair<MapKind, std::string>, std::optional<std::filesystem::path>> by_name_;
  // Image file: its image, or none when it failed (warned of once).
  std::map<std::string, std::optional<std::size_t>> by_file_;
  std::map<const DerivedMap*, std::size_t> derived_images_;
  std::map<std::array<std::size_t, 3>, std::size_t> textures_;  // image, wraps: texture
  std::map<std::pair<MapWrap, MapWrap>, std::size_t> samplers_;
  std::vector<std::string> extensions_used_;
  images::TextureBudget budget_;  // what the images may take
  MapDeriver deriver_;
  std::size_t non_finite_ = 0;
};

}  // namespace torvik::gltf_build
