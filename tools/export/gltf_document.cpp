#include "gltf_document.h"

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

#include "embedded_image.h"
#include "export_conventions.h"
#include "images/image_file.h"
#include "images/texture_budget.h"

namespace {

using Json = nlohmann::ordered_json;

static_assert(std::endian::native == std::endian::little, "glTF buffers are little-endian");

// glTF's numeric codes.
constexpr int kFloat = 5126, kUnsignedShort = 5123;
constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;
constexpr int kLinear = 9729, kLinearMipmapLinear = 9987, kRepeat = 10497;

using Vec3 = std::array<float, 3>;

float Clamped(float value) { return value >= 0 ? std::min(value, 1.0f) : 0.0f; }

// A factor as the shortest decimal that reads back as the same float, so that
// the JSON says 0.3 rather than 0.30000001192092896.
double Factor(float value) {
  char text[32];
  const char* end = std::to_chars(text, text + sizeof text, value).ptr;
  double decimal = 0;
  std::from_chars(text, end, decimal);
  return decimal;
}

// The vectors of one block, in the layout of the glTF accessors.
struct BlockArrays {
  std::vector<float> positions, normals, texcoords;
  std::vector<std::uint16_t> indices;
  Vec3 low{}, high{};
  std::size_t non_finite = 0;  // coordinates written as 0 because they were not numbers
};

// `value`, or 0 (counted) when it is not a number.
float Finite(float value, std::size_t& non_finite) {
  if (std::isfinite(value)) return value;
  ++non_finite;
  return 0;
}

std::optional<Vec3> Normalised(const std::array<double, 3>& n) {
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!std::isfinite(length) || length == 0) return std::nullopt;
  return Vec3{static_cast<float>(n[0] / length), static_cast<float>(n[1] / length),
              static_cast<float>(n[2] / length)};
}

// Unit normals: the stored ones scaled, or, where a stored normal has no
// direction, that of the first triangle using the vertex.
std::vector<float> UnitNormals(const torvik::BmfBlock& block, const std::vector<float>& positions,
                               const std::vector<std::uint16_t>& indices) {
  std::vector<std::optional<Vec3>> face_normal(block.vertices.size());
  for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
    const float* p[3] = {&positions[3 * indices[t]], &positions[3 * indices[t + 1]],
                         &positions[3 * indices[t + 2]]};
    double a[3], b[3];
    for (int c = 0; c < 3; ++c) {
      a[c] = static_cast<double>(p[1][c]) - p[0][c];
      b[c] = static_cast<double>(p[2][c]) - p[0][c];
    }
    const std::optional<Vec3> n = Normalised(
        {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]});
    for (std::size_t c = 0; c < 3; ++c)
      if (!face_normal[indices[t + c]]) face_normal[indices[t + c]] = n;
  }
  std::vector<float> normals;
  normals.reserve(3 * block.vertices.size());
  for (std::size_t i = 0; i < block.vertices.size(); ++i) {
    const Vec3 stored = ExportNormal(block.vertices[i], ExportAxes::authored);
    const Vec3 unit = Normalised({stored[0], stored[1], stored[2]})
                          .value_or(face_normal[i].value_or(Vec3{0, 1, 0}));
    normals.insert(normals.end(), unit.begin(), unit.end());
  }
  return normals;
}

BlockArrays ArraysOf(const torvik::BmfBlock& block) {
  BlockArrays arrays;
  arrays.low.fill(std::numeric_limits<float>::infinity());
  arrays.high.fill(-std::numeric_limits<float>::infinity());
  for (const torvik::BMF_UNVERTEX& vertex : block.vertices) {
    const Vec3 position = ExportPosition(vertex, ExportAxes::authored);
    for (int c = 0; c < 3; ++c) {
      const float value = Finite(position[c], arrays.non_finite);
      arrays.positions.push_back(value);
      arrays.low[c] = std::min(arrays.low[c], value);
      arrays.high[c] = std::max(arrays.high[c], value);
    }
    arrays.texcoords.push_back(Finite(vertex.u, arrays.non_finite));
    arrays.texcoords.push_back(1.0f - Finite(vertex.v, arrays.non_finite));
  }
  const std::size_t count = block.vertices.size();
  for (const torvik::BMF_SURFACE& triangle : block.triangles) {
    if (triangle.p0 >= count || triangle.p1 >= count || triangle.p2 >= count) continue;
    for (const torvik::uword corner : ExportCorners(triangle, ExportAxes::authored))
      arrays.indices.push_back(corner);
  }
  arrays.normals = UnitNormals(block, arrays.positions, arrays.indices);
  return arrays;
}

class GltfBuilder {
 public:
  explicit GltfBuilder(const GltfOptions& options)
      : options_(options), budget_(options.texture_budget) {
    document_.json["asset"] = {{"version", "2.0"}, {"generator", "bmftool"}};
  }

  void AddBlock(std::size_t index, const torvik::BmfBlock& block) {
    const BlockArrays arrays = ArraysOf(block);
    if (arrays.indices.empty()) return;
    non_finite_ += arrays.non_finite;
    const std::size_t count = block.vertices.size();
    Json position = Accessor(AddView(arrays.positions, kArrayBuffer), kFloat, count, "VEC3");
    position["min"] = arrays.low;
    position["max"] = arrays.high;
    Json attributes = {
        {"POSITION", Add("accessors", std::move(position))},
        {"NORMAL",
         Add("accessors", Accessor(AddView(arrays.normals, kArrayBuffer), kFloat, count, "VEC3"))},
    };
    if (!block.TextureName().empty())
      attributes["TEXCOORD_0"] = Add(
          "accessors", Accessor(AddView(arrays.texcoords, kArrayBuffer), kFloat, count, "VEC2"));
    const std::size_t indices =
        Add("accessors", Accessor(AddView(arrays.indices, kElementArrayBuffer), kUnsignedShort,
                                  arrays.indices.size(), "SCALAR"));
    primitives_.push_back({{"attributes", std::move(attributes)},
                           {"indices", indices},
                           {"material", Add("materials", Material(index, block))}});
  }

  GltfDocument Finish() && {
    if (non_finite_ > 0)
      document_.warnings.push_back(std::to_string(non_finite_) +
                                   " coordinates that were not numbers were written as 0");
    Json& json = document_.json;
    if (!primitives_.empty()) {
      json["meshes"] = Json::array({{{"primitives", std::move(primitives_)}}});
      json["nodes"] = Json::array({{{"mesh", 0}}});
      json["scenes"] = Json::array({{{"nodes", Json::array({0})}}});
    } else {
      json["scenes"] = Json::array({Json::object()});
    }
    json["scene"] = 0;
    if (!document_.binary.empty())
      json["buffers"] = Json::array({{{"byteLength", document_.binary.size()}}});
    return std::move(document_);
  }

 private:
  // Appends `item` to the top-level array `name`; returns its index.
  std::size_t Add(const char* name, Json item) {
    Json& array = document_.json[name];
    array.push_back(std::move(item));
    return array.size() - 1;
  }

  // Appends a buffer view of the bytes at a 4-byte boundary.
  template <class T>
  std::size_t AddView(std::span<const T> items, std::optional<int> target) {
    std::vector<std::uint8_t>& binary = document_.binary;
    const std::size_t offset = binary.size();
    const std::size_t length = items.size_bytes();
    binary.resize(offset + (length + 3) / 4 * 4);
    std::memcpy(binary.data() + offset, items.data(), length);
    Json view = {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", length}};
    if (target) view["target"] = *target;
    return Add("bufferViews", std::move(view));
  }
  template <class T>
  std::size_t AddView(const std::vector<T>& items, int target) {
    return AddView(std::span<const T>(items), target);
  }

  static Json Accessor(std::size_t view, int component_type, std::size_t count, const char* type) {
    return {
        {"bufferView", view}, {"componentType", component_type}, {"count", count}, {"type", type}};
  }

  Json Material(std::size_t index, const torvik::BmfBlock& block) {
    const std::optional<std::size_t> texture = TextureOf(index, block.TextureName());
    const torvik::BMF_RGBCOLOR& diffuse = block.diffuse;
    const float opacity = OpacityOf(diffuse.alpha);
    const torvik::BMF_RGBCOLOR& specular = block.specular;
    const float shine =
        (Clamped(specular.red) + Clamped(specular.green) + Clamped(specular.blue)) / 3;
    Json pbr = {{"baseColorFactor",
                 texture ? Json{1, 1, 1, Factor(opacity)}
                         : Json{Factor(Clamped(diffuse.red)), Factor(Clamped(diffuse.green)),
                                Factor(Clamped(diffuse.blue)), Factor(opacity)}},
                {"metallicFactor", 0},
                {"roughnessFactor", Factor(1 - shine / 2)}};
    if (texture) pbr["baseColorTexture"] = {{"index", *texture}};
    Json material = {{"name", "block" + std::to_string(index)},
                     {"pbrMetallicRoughness", std::move(pbr)}};
    if (opacity < 1) material["alphaMode"] = "BLEND";
    return material;
  }

  // The glTF texture of a stored texture name, embedded on first use.
  std::optional<std::size_t> TextureOf(std::size_t block, const std::string& name) {
    if (name.empty() || !options_.find_texture) return std::nullopt;
    const auto known = textures_.find(name);
    if (known != textures_.end()) return known->second;
    std::optional<std::size_t>& texture = textures_[name];
    const std::string what = "texture '" + name + "' of block " + std::to_string(block);
    const std::optional<std::filesystem::path> path = options_.find_texture(name);
    if (!path) {
      if (options_.report_missing)
        document_.warnings.push_back(what + " was not found; the block is left untextured");
      return texture;
    }
    // Names that lead to one file share its texture, embedded once; a file
    // that failed is reported under the first name that led to it.
    const auto [by_file, added] = files_.try_emplace(torvik::images::ImageFileKey(*path));
    if (!added) return texture = by_file->second;
    EmbeddableImage image;
    try {
      image = ReadEmbeddableImage(*path);
      if (!budget_.Take(image.bytes.size())) throw std::runtime_error(budget_.Exceeded());
    } catch (const std::exception& error) {
      document_.warnings.push_back(what + ": " + path->string() + ": " + error.what() +
                                   "; the block is left untextured");
      return texture;
    }
    if (!document_.json.contains("samplers"))
      Add("samplers", {{"magFilter", kLinear},
                       {"minFilter", kLinearMipmapLinear},
                       {"wrapS", kRepeat},
                       {"wrapT", kRepeat}});
    const std::size_t view = AddView(std::span<const std::uint8_t>(image.bytes), std::nullopt);
    const std::size_t source =
        Add("images", {{"name", name}, {"bufferView", view}, {"mimeType", image.mime_type}});
    texture = Add("textures", {{"sampler", 0}, {"source", source}});
    by_file->second = texture;
    return texture;
  }

  const GltfOptions& options_;
  GltfDocument document_;
  Json primitives_ = Json::array();
  std::map<std::string, std::optional<std::size_t>> textures_;         // by stored name
  std::map<std::filesystem::path, std::optional<std::size_t>> files_;  // by ImageFileKey
  torvik::images::TextureBudget budget_;  // what the embedded images may take
  std::size_t non_finite_ = 0;
};

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

GltfDocument BuildGltf(const torvik::BmfFile& file, const GltfOptions& options) {
  GltfBuilder builder(options);
  for (std::size_t b = 0; b < file.blocks.size(); ++b) builder.AddBlock(b, file.blocks[b]);
  return std::move(builder).Finish();
}

std::string GltfJsonText(const nlohmann::ordered_json& json, int indent) {
  return json.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::vector<std::uint8_t> GlbBytes(const GltfDocument& document) {
  constexpr std::uint32_t kMagic = 0x46546C67, kVersion = 2;
  constexpr std::uint32_t kJsonChunk = 0x4E4F534A, kBinChunk = 0x004E4942;
  const std::string text = GltfJsonText(document.json);
  const std::size_t total =
      12 + 8 + (text.size() + 3) / 4 * 4 +
      (document.binary.empty() ? 0 : 8 + (document.binary.size() + 3) / 4 * 4);
  if (total > std::numeric_limits<std::uint32_t>::max())
    throw std::runtime_error("the model is too large for a binary glTF file (4 GiB)");
  std::vector<std::uint8_t> bytes;
  bytes.reserve(total);
  AppendU32(bytes, kMagic);
  AppendU32(bytes, kVersion);
  AppendU32(bytes, static_cast<std::uint32_t>(total));
  AppendChunk(bytes, kJsonChunk,
              std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), ' ');
  if (!document.binary.empty()) AppendChunk(bytes, kBinChunk, document.binary, 0);
  return bytes;
}
