#include "torvik32c/gltf_document.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>

#include "gltf_builder.h"
#include "torvik32c/export_conventions.h"

namespace torvik {

namespace {

using gltf_build::Json;
using gltf_build::Vec3;

// A block's vertices and its triangles' corners (those within the block).
struct BlockArrays {
  gltf_build::VertexArrays vertices;
  std::vector<std::uint32_t> indices;
};

BlockArrays ArraysOf(const BmfBlock& block) {
  BlockArrays arrays;
  for (const BMF_UNVERTEX& vertex : block.vertices)
    arrays.vertices.Add(ExportPosition(vertex, ExportAxes::authored),
                        ExportNormal(vertex, ExportAxes::authored), vertex.u, vertex.v);
  const std::size_t count = block.vertices.size();
  for (const BMF_SURFACE& triangle : block.triangles) {
    if (triangle.p0 >= count || triangle.p1 >= count || triangle.p2 >= count) continue;
    for (const uword corner : ExportCorners(triangle, ExportAxes::authored))
      arrays.indices.push_back(corner);
  }
  gltf_build::UnitNormals(arrays.vertices, arrays.indices);
  return arrays;
}

gltf_build::MaterialLook LookOf(std::size_t index, const BmfBlock& block) {
  const BMF_RGBCOLOR& diffuse = block.diffuse;
  const BMF_RGBCOLOR& specular = block.specular;
  using gltf_build::Clamped;
  using gltf_build::Factor;
  gltf_build::MaterialLook look;
  look.name = "block" + std::to_string(index);
  look.base_color = {Factor(Clamped(diffuse.red)), Factor(Clamped(diffuse.green)),
                     Factor(Clamped(diffuse.blue))};
  look.opacity = OpacityOf(diffuse.alpha);
  look.shine = (Clamped(specular.red) + Clamped(specular.green) + Clamped(specular.blue)) / 3;
  return look;
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendChunk(std::vector<std::uint8_t>& out, std::uint32_t type,
                 std::span<const std::uint8_t> data, std::uint8_t padding) {
  const std::size_t padded = (data.size() + 3) / 4 * 4;
  AppendU32(out, static_cast<std::uint32_t>(padded));
  AppendU32(out, type);
  out.insert(out.end(), data.begin(), data.end());
  out.resize(out.size() + (padded - data.size()), padding);
}

}  // namespace

GltfDocument BuildGltf(const BmfFile& file, const GltfOptions& options) {
  gltf_build::GltfBuilder builder(options);
  Json primitives = Json::array();
  for (std::size_t b = 0; b < file.blocks.size(); ++b) {
    const BmfBlock& block = file.blocks[b];
    const BlockArrays arrays = ArraysOf(block);
    if (arrays.indices.empty()) continue;
    builder.CountNonFinite(arrays.vertices.non_finite);
    Json attributes = builder.AddAttributes(arrays.vertices, !block.TextureName().empty());
    const std::size_t indices = builder.AddIndices(arrays.indices, arrays.vertices.Count());
    gltf_build::MaterialLook look = LookOf(b, block);
    look.texture = builder.TextureOf(block.TextureName(), "block " + std::to_string(b), "block");
    primitives.push_back({{"attributes", std::move(attributes)},
                          {"indices", indices},
                          {"material", builder.AddMaterial(look)}});
  }
  if (primitives.empty()) return std::move(builder).Finish({});
  builder.json()["meshes"] = Json::array({{{"primitives", std::move(primitives)}}});
  builder.json()["nodes"] = Json::array({{{"mesh", 0}}});
  return std::move(builder).Finish({0});
}

std::string GltfJsonText(const nlohmann::ordered_json& json, int indent) {
  return json.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::vector<std::uint8_t> GlbHead(const GltfDocument& document) {
  constexpr std::uint32_t kMagic = 0x46546C67, kVersion = 2;
  constexpr std::uint32_t kJsonChunk = 0x4E4F534A, kBinChunk = 0x004E4942;
  const std::string text = GltfJsonText(document.json);
  const std::size_t binary = (document.binary.size() + 3) / 4 * 4;
  const std::size_t head = 12 + 8 + (text.size() + 3) / 4 * 4 + (binary == 0 ? 0 : 8);
  if (head + binary > std::numeric_limits<std::uint32_t>::max())
    throw std::runtime_error("the model is too large for a binary glTF file (4 GiB)");
  std::vector<std::uint8_t> bytes;
  bytes.reserve(head);
  AppendU32(bytes, kMagic);
  AppendU32(bytes, kVersion);
  AppendU32(bytes, static_cast<std::uint32_t>(head + binary));
  AppendChunk(bytes, kJsonChunk,
              std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), ' ');
  if (binary != 0) {
    AppendU32(bytes, static_cast<std::uint32_t>(binary));
    AppendU32(bytes, kBinChunk);
  }
  return bytes;
}

std::vector<std::uint8_t> GlbBytes(const GltfDocument& document) {
  std::vector<std::uint8_t> bytes = GlbHead(document);
  bytes.reserve(bytes.size() + (document.binary.size() + 3) / 4 * 4);
  bytes.insert(bytes.end(), document.binary.begin(), document.binary.end());
  bytes.resize((bytes.size() + 3) / 4 * 4, 0);
  return bytes;
}

}  // namespace torvik
