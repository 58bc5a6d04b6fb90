#include "gltf_materials.h"

#include <algorithm>
#include <cmath>

#include "base/portable_math.h"
#include "import/material_opacity.h"

namespace torvik::gltfload {

namespace {

constexpr const char* kSpecular = "KHR_materials_specular";
constexpr const char* kTextureTransform = "KHR_texture_transform";
// A 3DS byte colour is stored as byte / 256.
constexpr double kByteColourScale = 1.0 / 256;

// What the export writes for each byte of a colour: sRGB to linear of
// byte / 255, as a float.
const std::array<float, 256>& LinearOfBytes() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> linear{};
    for (int b = 0; b < 256; ++b)
      linear[static_cast<std::size_t>(b)] = static_cast<float>(SrgbToLinear(b / 255.0));
    return linear;
  }();
  return table;
}

std::optional<int> ByteOfLinear(float linear) {
  const std::array<float, 256>& table = LinearOfBytes();
  const auto found = std::lower_bound(table.begin(), table.end(), linear);
  if (found == table.end() || *found != linear) return std::nullopt;
  return static_cast<int>(found - table.begin());
}

// The inverse of SrgbToLinear on [0, 1].
double LinearToSrgb(double linear) {
  const double l = std::clamp(linear, 0.0, 1.0);
  if (l <= 0.04045 / 12.92) return l * 12.92;
  return 1.055 * Pow(l, 1 / 2.4) - 0.055;
}

double Number(const tinygltf::Value& value, double fallback) {
  return value.IsNumber() ? value.GetNumberAsDouble() : fallback;
}

std::optional<UvTransform> TransformOf(const tinygltf::TextureInfo& info, int& texcoord) {
  const auto found = info.extensions.find(kTextureTransform);
  if (found == info.extensions.end() || !found->second.IsObject()) return std::nullopt;
  const tinygltf::Value& extension = found->second;
  UvTransform transform;
  const auto pair = [&](const char* key, std::array<double, 2>& out) {
    if (!extension.Has(key)) return;
    const tinygltf::Value& array = extension.Get(key);
    if (!array.IsArray() || array.ArrayLen() != 2) return;
    out = {Number(array.Get(0), out[0]), Number(array.Get(1), out[1])};
  };
  pair("offset", transform.offset);
  pair("scale", transform.scale);
  if (extension.Has("rotation")) transform.rotation = Number(extension.Get("rotation"), 0);
  if (extension.Has("texCoord") && extension.Get("texCoord").IsInt())
    texcoord = extension.Get("texCoord").GetNumberAsInt();
  return transform;
}

std::array<double, 3> Triple(const std::vector<double>& values, double fallback) {
  std::array<double, 3> triple{fallback, fallback, fallback};
  for (std::size_t i = 0; i < 3 && i < values.size(); ++i) triple[i] = values[i];
  return triple;
}

}  // namespace

H3dsRGBColor ColourOfLinear(const std::array<double, 3>& linear) {
  std::array<std::optional<int>, 3> bytes;
  for (std::size_t i = 0; i < 3; ++i) bytes[i] = ByteOfLinear(static_cast<float>(linear[i]));
  H3dsRGBColor colour;
  if (bytes[0] && bytes[1] && bytes[2]) {
    colour.red = static_cast<float32>(*bytes[0] * kByteColourScale);
    colour.green = static_cast<float32>(*bytes[1] * kByteColourScale);
    colour.blue = static_cast<float32>(*bytes[2] * kByteColourScale);
    colour.from_bytes = true;
    return colour;
  }
  colour.red = static_cast<float32>(LinearToSrgb(linear[0]));
  colour.green = static_cast<float32>(LinearToSrgb(linear[1]));
  colour.blue = static_cast<float32>(LinearToSrgb(linear[2]));
  return colour;
}

MaterialReading ReadMaterial(const tinygltf::Model& model, std::size_t index,
                             const std::string& name) {
  const tinygltf::Material& material = model.materials[index];
  const tinygltf::PbrMetallicRoughness& pbr = material.pbrMetallicRoughness;
  MaterialReading reading;
  H3dsMat& mat = reading.mat;
  mat.name = name;
  reading.is_default = material.name == kDefaultMaterialName;
  const std::vector<double>& base = pbr.baseColorFactor;
  mat.diffuse = ColourOfLinear(Triple(base, 1));
  mat.ambient = mat.diffuse;
  std::array<double, 3> specular{1, 1, 1};
  const auto extension = material.extensions.find(kSpecular);
  if (extension != material.extensions.end() && extension->second.Has("specularColorFactor")) {
    const tinygltf::Value& factor = extension->second.Get("specularColorFactor");
    if (factor.IsArray() && factor.ArrayLen() == 3)
      for (int i = 0; i < 3; ++i)
        specular[static_cast<std::size_t>(i)] = std::min(Number(factor.Get(i), 1), 1.0);
  }
  mat.specular = ColourOfLinear(specular);
  // Alpha counts only where the material blends; a mask's cutout needs the
  // texture's alpha, which a BMF host does not read.
  const double opacity = material.alphaMode == "BLEND" && base.size() >= 4 ? base[3] : 1.0;
  import::SetOpacity(mat, opacity);
  mat.doublesided = material.doubleSided ? 1 : 0;
  if (material.alphaMode == "MASK")
    reading.warnings.push_back("its alpha mask is left out: BMF has no cutouts");
  const int texture = pbr.baseColorTexture.index;
  if (texture >= 0) {
    if (static_cast<std::size_t>(texture) >= model.textures.size())
      throw ImportError(
          "glTF",
          "/materials/" + std::to_string(index) + "/pbrMetallicRoughness/baseColorTexture/index",
          "names texture " + std::to_string(texture) + ", which the glTF lacks");
    reading.image = model.textures[static_cast<std::size_t>(texture)].source;
    reading.texcoord = pbr.baseColorTexture.texCoord;
    reading.transform = TransformOf(pbr.baseColorTexture, reading.texcoord);
    if (reading.image < 0)
      reading.warnings.push_back(
          "its base colour texture has no image that is read (PNG or "
          "JPEG); the material is left untextured");
  }
  return reading;
}

H3dsMap TransformedUv(float u, float v, const std::optional<UvTransform>& transform) {
  if (!transform) return {u, 1.0f - v};
  const double c = Cos(transform->rotation), s = Sin(transform->rotation);
  const double su = transform->scale[0] * u, sv = transform->scale[1] * v;
  const double tu = transform->offset[0] + c * su + s * sv;
  const double tv = transform->offset[1] - s * su + c * sv;
  return {static_cast<float>(tu), static_cast<float>(1.0 - tv)};
}

}  // namespace torvik::gltfload
