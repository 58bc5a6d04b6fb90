#include "gltf_builder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/float_decimal.h"
#include "images/encode_png.h"
#include "images/image_file.h"
#include "images/viewer_image.h"

namespace torvik::gltf_build {

namespace {

static_assert(std::endian::native == std::endian::little, "glTF buffers are little-endian");

// glTF's numeric codes.
constexpr int kFloat = 5126, kUnsignedShort = 5123, kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;
constexpr int kLinear = 9729, kLinearMipmapLinear = 9987;
constexpr int kRepeat = 10497, kMirroredRepeat = 33648, kClampToEdge = 33071;
constexpr const char* kTextureTransform = "KHR_texture_transform";

int WrapCode(MapWrap wrap) {
  switch (wrap) {
    case MapWrap::mirrored_repeat:
      return kMirroredRepeat;
    case MapWrap::clamp_to_edge:
      return kClampToEdge;
    case MapWrap::repeat:
      break;
  }
  return kRepeat;
}

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

Json Accessor(std::size_t view, int component_type, std::size_t count, const char* type) {
  return {
      {"bufferView", view}, {"componentType", component_type}, {"count", count}, {"type", type}};
}

}  // namespace

float Clamped(float value) { return value >= 0 ? std::min(value, 1.0f) : 0.0f; }

double Factor(float value) { return torvik::DecimalValue(torvik::ShortestDecimal(value)); }

void VertexArrays::Add(const Vec3& position, const Vec3& normal, float u, float v) {
  for (const float value : position) positions.push_back(Finite(value, non_finite));
  normals.insert(normals.end(), normal.begin(), normal.end());
  texcoords.push_back(Finite(u, non_finite));
  texcoords.push_back(1.0f - Finite(v, non_finite));
}

void UnitNormals(VertexArrays& arrays, std::span<const std::uint32_t> indices) {
  const std::size_t count = arrays.Count();
  std::vector<std::optional<Vec3>> face_normal(count);
  for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
    const float* p[3] = {&arrays.positions[3 * indices[t]], &arrays.positions[3 * indices[t + 1]],
                         &arrays.positions[3 * indices[t + 2]]};
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
  for (std::size_t i = 0; i < count; ++i) {
    float* n = &arrays.normals[3 * i];
    const Vec3 unit =
        Normalised({n[0], n[1], n[2]}).value_or(face_normal[i].value_or(Vec3{0, 1, 0}));
    std::copy(unit.begin(), unit.end(), n);
  }
}

GltfBuilder::GltfBuilder(const GltfOptions& options)
    : options_(options),
      budget_(options.texture_budget),
      deriver_(
          budget_, [this](const std::filesystem::path& file) { return FileBytes(file); },
          [this](const std::filesystem::path& file) { return FileKey(file); }) {
  document_.json["asset"] = {{"version", "2.0"}, {"generator", "torvik32c"}};
}

std::size_t GltfBuilder::Add(const char* name, Json item) {
  Json& array = document_.json[name];
  array.push_back(std::move(item));
  return array.size() - 1;
}

std::size_t GltfBuilder::AddView(std::span<const std::uint8_t> bytes, std::optional<int> target) {
  std::vector<std::uint8_t>& binary = document_.binary;
  const std::size_t offset = binary.size();
  binary.resize(offset + (bytes.size() + 3) / 4 * 4);
  if (!bytes.empty()) std::memcpy(binary.data() + offset, bytes.data(), bytes.size());
  Json view = {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", bytes.size()}};
  if (target) view["target"] = *target;
  return Add("bufferViews", std::move(view));
}

Json GltfBuilder::AddAttributes(const VertexArrays& arrays, bool texcoords) {
  const std::size_t count = arrays.Count();
  Vec3 low, high;
  low.fill(std::numeric_limits<float>::infinity());
  high.fill(-std::numeric_limits<float>::infinity());
  for (std::size_t i = 0; i < count; ++i) {
    for (int c = 0; c < 3; ++c) {
      low[c] = std::min(low[c], arrays.positions[3 * i + c]);
      high[c] = std::max(high[c], arrays.positions[3 * i + c]);
    }
  }
  Json position =
      Accessor(AddView(std::span(arrays.positions), kArrayBuffer), kFloat, count, "VEC3");
  position["min"] = low;
  position["max"] = high;
  Json attributes = {
      {"POSITION", Add("accessors", std::move(position))},
      {"NORMAL", Add("accessors", Accessor(AddView(std::span(arrays.normals), kArrayBuffer), kFloat,
                                           count, "VEC3"))},
  };
  if (texcoords) attributes["TEXCOORD_0"] = AddTexcoords(arrays);
  return attributes;
}

std::size_t GltfBuilder::AddTexcoords(const VertexArrays& arrays) {
  return Add("accessors", Accessor(AddView(std::span(arrays.texcoords), kArrayBuffer), kFloat,
                                   arrays.Count(), "VEC2"));
}

std::size_t GltfBuilder::AddTangents(std::span<const float> tangents) {
  return Add("accessors",
             Accessor(AddView(tangents, kArrayBuffer), kFloat, tangents.size() / 4, "VEC4"));
}

std::size_t GltfBuilder::AddIndices(std::span<const std::uint32_t> indices,
                                    std::size_t vertex_count) {
  if (vertex_count <= std::numeric_limits<std::uint16_t>::max()) {
    const std::vector<std::uint16_t> narrow(indices.begin(), indices.end());
    return Add("accessors", Accessor(AddView(std::span(narrow), kElementArrayBuffer),
                                     kUnsignedShort, indices.size(), "SCALAR"));
  }
  return Add("accessors", Accessor(AddView(indices, kElementArrayBuffer), kUnsignedInt,
                                   indices.size(), "SCALAR"));
}

std::size_t GltfBuilder::AddFloats(std::span<const float> values, const char* type,
                                   std::size_t components, bool bounds) {
  const std::size_t count = values.size() / components;
  Json accessor = Accessor(AddView(values, std::nullopt), kFloat, count, type);
  if (bounds) {
    Json low = Json::array(), high = Json::array();
    for (std::size_t c = 0; c < components; ++c) {
      float lo = std::numeric_limits<float>::infinity(), hi = -lo;
      for (std::size_t i = 0; i < count; ++i) {
        lo = std::min(lo, values[i * components + c]);
        hi = std::max(hi, values[i * components + c]);
      }
      low.push_back(lo);
      high.push_back(hi);
    }
    accessor["min"] = std::move(low);
    accessor["max"] = std::move(high);
  }
  return Add("accessors", std::move(accessor));
}

std::size_t GltfBuilder::AddMaterial(const MaterialLook& look) {
  return Add("materials", MaterialJson(look));
}

Json GltfBuilder::MaterialJson(const MaterialLook& look) const {
  const Json base = look.texture ? Json{1, 1, 1, Factor(look.opacity)}
                                 : Json{look.base_color[0], look.base_color[1], look.base_color[2],
                                        Factor(look.opacity)};
  Json pbr = {{"baseColorFactor", base},
              {"metallicFactor", 0},
              {"roughnessFactor", Factor(1 - look.shine / 2)}};
  if (look.texture) pbr["baseColorTexture"] = {{"index", *look.texture}};
  Json material = {{"name", look.name}, {"pbrMetallicRoughness", std::move(pbr)}};
  if (look.opacity < 1) material["alphaMode"] = "BLEND";
  if (look.double_sided) material["doubleSided"] = true;
  return material;
}

std::optional<std::size_t> GltfBuilder::TextureOf(const std::string& name, const std::string& what,
                                                  const std::string& kind) {
  if (name.empty()) return std::nullopt;
  const std::string about = "texture '" + ShownName(name, options_.names) + "' of " + what;
  const std::string outcome = "the " + kind + " is left untextured";
  const std::optional<std::filesystem::path> file =
      FindFile(name, MapKind::texture, about, outcome);
  if (!file) return std::nullopt;
  const std::optional<std::size_t> image = ImageOfFile(*file, name, about, outcome);
  if (!image) return std::nullopt;
  return TextureOf(*image, MapWrap::repeat, MapWrap::repeat);
}

std::optional<std::filesystem::path> GltfBuilder::FindFile(const std::string& name, MapKind kind,
                                                           const std::string& about,
                                                           const std::string& outcome) {
  if (name.empty() || !options_.find_texture) return std::nullopt;
  const auto [known, added] = by_name_.try_emplace({kind, name});
  if (!added) return known->second;
  known->second = options_.find_texture(name, kind);
  if (!known->second && options_.report_missing) Warn(about + " was not found; " + outcome);
  return known->second;
}

std::string GltfBuilder::FileKey(const std::filesystem::path& file) const {
  return options_.read_texture ? file.string() : images::ImageFileKey(file).string();
}

std::vector<std::uint8_t> GltfBuilder::FileBytes(const std::filesystem::path& file) const {
  return options_.read_texture ? options_.read_texture(file) : images::ReadImageFile(file);
}

std::optional<std::size_t> GltfBuilder::ImageOfFile(const std::filesystem::path& file,
                                                    const std::string& name,
                                                    const std::string& about,
                                                    const std::string& outcome) {
  // Names that lead to one file share its image, embedded once; a file that
  // failed is reported under the first name that led to it.
  const auto [same_file, added] = by_file_.try_emplace(FileKey(file));
  if (!added) return same_file->second;
  images::ViewerImage image;
  try {
    image = images::ToViewerImage(FileBytes(file), budget_);
  } catch (const std::exception& error) {
    Warn(about + ": " + ShownPath(file) + ": " + error.what() + "; " + outcome);
    return std::nullopt;
  }
  const std::size_t view = AddView(std::span<const std::uint8_t>(image.bytes), std::nullopt);
  same_file->second = Add("images", {{"name", NameUtf8(name, options_.names)},
                                     {"bufferView", view},
                                     {"mimeType", image.MimeType()}});
  return same_file->second;
}

std::size_t GltfBuilder::DerivedImageOf(const DerivedMap& map, const std::string& name) {
  const auto known = derived_images_.find(&map);
  if (known != derived_images_.end()) return known->second;
  // The deriver took the pixels from the budget.
  const std::vector<std::uint8_t> png = images::EncodePng(map.image);
  if (png.size() > map.image.Bytes()) budget_.Require(png.size() - map.image.Bytes());
  const std::size_t view = AddView(std::span<const std::uint8_t>(png), std::nullopt);
  const std::size_t image = Add(
      "images",
      {{"name", NameUtf8(name, options_.names)}, {"bufferView", view}, {"mimeType", "image/png"}});
  derived_images_.emplace(&map, image);
  deriver_.ReleasePixels(map);
  return image;
}

std::size_t GltfBuilder::TextureOf(std::size_t image, MapWrap wrap_s, MapWrap wrap_t) {
  const auto [sampler, new_sampler] = samplers_.try_emplace({wrap_s, wrap_t});
  if (new_sampler)
    sampler->second = Add("samplers", {{"magFilter", kLinear},
                                       {"minFilter", kLinearMipmapLinear},
                                       {"wrapS", WrapCode(wrap_s)},
                                       {"wrapT", WrapCode(wrap_t)}});
  const auto [texture, added] = textures_.try_emplace(
      {image, static_cast<std::size_t>(wrap_s), static_cast<std::size_t>(wrap_t)});
  if (added) texture->second = Add("textures", {{"sampler", sampler->second}, {"source", image}});
  return texture->second;
}

Json GltfBuilder::TextureInfo(std::size_t texture, const PlacementParts& placement) {
  Json info = {{"index", texture}};
  const GltfTextureTransform transform = GltfTransformOf(placement);
  if (transform == GltfTextureTransform{}) return info;
  const auto factors = [](const std::array<double, 2>& pair) {
    return Json{Factor(static_cast<float>(pair[0])), Factor(static_cast<float>(pair[1]))};
  };
  Json extension = Json::object();
  if (transform.offset != std::array<double, 2>{0, 0})
    extension["offset"] = factors(transform.offset);
  if (transform.rotation != 0)
    extension["rotation"] = Factor(static_cast<float>(transform.rotation));
  if (transform.scale != std::array<double, 2>{1, 1}) extension["scale"] = factors(transform.scale);
  UseExtension(kTextureTransform);
  info["extensions"] = {{kTextureTransform, std::move(extension)}};
  return info;
}

void GltfBuilder::UseExtension(const std::string& name) {
  if (std::find(extensions_used_.begin(), extensions_used_.end(), name) == extensions_used_.end())
    extensions_used_.push_back(name);
}

GltfDocument GltfBuilder::Finish(const std::vector<std::size_t>& root_nodes) && {
  if (non_finite_ > 0)
    Warn(std::to_string(non_finite_) + " coordinates that were not numbers were written as 0");
  Json& json = document_.json;
  if (!root_nodes.empty())
    json["scenes"] = Json::array({{{"nodes", root_nodes}}});
  else
    json["scenes"] = Json::array({Json::object()});
  json["scene"] = 0;
  if (!extensions_used_.empty()) json["extensionsUsed"] = extensions_used_;
  if (!document_.binary.empty())
    json["buffers"] = Json::array({{{"byteLength", document_.binary.size()}}});
  return std::move(document_);
}

}  // namespace torvik::gltf_build
