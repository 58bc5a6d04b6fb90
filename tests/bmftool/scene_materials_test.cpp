// The materials of a 3DS scene's glTF as the author made them, on the
// generated model whose materials use 3D Studio's maps (materials_demo.h):
// maps placed and wrapped as the general readers place them, the opacity
// map in the base colour's alpha, the bump map as a normal map with
// tangents, shininess, specular and self-illumination.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "gltf/map_deriver.h"
#include "images/map_images.h"
#include "map_placements.h"
#include "materials_demo.h"
#include "png_image.h"
#include "preview_textures.h"
#include "test_support.h"
#include "threeds_builder.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/gltf_export.h"
#include "torvik32c/material_maps.h"
#include "torvik32c/reports.h"
#include "torvik32c/texture_finder.h"

namespace {

using Json = nlohmann::ordered_json;
using testing_support::TempDir;

constexpr int kRepeat = 10497, kMirroredRepeat = 33648, kClampToEdge = 33071;

struct DemoGltf {
  TempDir dir;
  torvik::GltfDocument document;

  DemoGltf() {
    EXPECT_TRUE(t3ds::SaveMaterialsDemo(dir.path().string()));
    const std::filesystem::path model = dir.path() / "materials.3ds";
    const torvik::H3dsScene scene = torvik::HRead3dsScene(testing_support::ReadFile(model.string()),
                                                          torvik::SceneGltfReadOptions(1));
    torvik::GltfOptions options;
    options.find_texture = torvik::TexturesBeside(model);
    document = torvik::BuildSceneGltf(scene, options);
  }

  const Json& Material(const std::string& name) const {
    for (const Json& material : document.json["materials"])
      if (material["name"] == name) return material;
    ADD_FAILURE() << "no material " << name;
    return document.json["materials"][0];
  }
  // The primitive drawn with the material.
  const Json& PrimitiveOf(const std::string& name) const {
    for (const Json& mesh : document.json["meshes"])
      for (const Json& primitive : mesh["primitives"])
        if (document.json["materials"][primitive["material"].get<std::size_t>()]["name"] == name)
          return primitive;
    ADD_FAILURE() << "no primitive of " << name;
    return document.json["meshes"][0]["primitives"][0];
  }
  std::vector<float> Floats(std::size_t accessor, std::size_t per_element) const {
    const Json& a = document.json["accessors"][accessor];
    const Json& view = document.json["bufferViews"][a["bufferView"].get<std::size_t>()];
    std::vector<float> data(a["count"].get<std::size_t>() * per_element);
    std::memcpy(data.data(), document.binary.data() + view["byteOffset"].get<std::size_t>(),
                data.size() * sizeof(float));
    return data;
  }
  const Json& SamplerOf(const Json& info) const {
    const Json& texture = document.json["textures"][info["index"].get<std::size_t>()];
    return document.json["samplers"][texture["sampler"].get<std::size_t>()];
  }
  // The embedded image of a textureInfo, as RGBA rows from the top.
  std::vector<std::uint8_t> Pixels(const Json& info, int& width, int& height) const {
    const Json& texture = document.json["textures"][info["index"].get<std::size_t>()];
    const Json& image = document.json["images"][texture["source"].get<std::size_t>()];
    const Json& view = document.json["bufferViews"][image["bufferView"].get<std::size_t>()];
    int channels = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(document.binary.data() + view["byteOffset"].get<std::size_t>(),
                              view["byteLength"].get<int>(), &width, &height, &channels, 4);
    EXPECT_NE(pixels, nullptr);
    if (pixels == nullptr) return {};
    std::vector<std::uint8_t> rgba(pixels, pixels + 4 * width * height);
    stbi_image_free(pixels);
    return rgba;
  }
};

const DemoGltf& Demo() {
  static const DemoGltf demo;
  return demo;
}

// KHR_texture_transform applied to glTF texture coordinates.
std::array<double, 2> Transformed(const Json& info, double u, double v) {
  const Json& t = info["extensions"]["KHR_texture_transform"];
  const std::vector<double> offset = t.value("offset", std::vector<double>{0, 0});
  const std::vector<double> scale = t.value("scale", std::vector<double>{1, 1});
  const double rotation = t.value("rotation", 0.0);
  const double su = scale[0] * u, sv = scale[1] * v;
  const double c = std::cos(rotation), s = std::sin(rotation);
  return {c * su + s * sv + offset[0], -s * su + c * sv + offset[1]};
}

TEST(SceneMaterials, MapsArePlacedAsTheGeneralReadersPlaceThemAboutTheTilesCentre) {
  const DemoGltf& demo = Demo();
  const Json& json = demo.document.json;
  ASSERT_TRUE(json.contains("extensionsUsed"));
  EXPECT_NE(std::find(json["extensionsUsed"].begin(), json["extensionsUsed"].end(),
                      "KHR_texture_transform"),
            json["extensionsUsed"].end());
  EXPECT_FALSE(json.contains("extensionsRequired"));  // viewers without it still draw the model

  // The floor, 10 x 10 tiles scaled about the tile's centre: the face's
  // corners (texture coordinates 0 and 1) fall in the middle of tiles, 10
  // apart, so its edges cut the outer tiles in half.
  const Json& floor = demo.Material("Floor")["pbrMetallicRoughness"]["baseColorTexture"];
  EXPECT_EQ(floor["extensions"]["KHR_texture_transform"]["scale"], Json::array({10, 10}));
  const std::vector<float> uv =
      demo.Floats(demo.PrimitiveOf("Floor")["attributes"]["TEXCOORD_0"].get<std::size_t>(), 2);
  for (std::size_t i = 0; i < uv.size(); i += 2) {
    const std::array<double, 2> at = Transformed(floor, uv[i], uv[i + 1]);
    for (const double c : at)
      EXPECT_DOUBLE_EQ(c - 0.5, std::round(c - 0.5)) << uv[i] << " " << uv[i + 1];
    EXPECT_DOUBLE_EQ(at[0] - 10 * uv[i], Transformed(floor, 0, 0)[0]);
  }
  EXPECT_EQ(demo.SamplerOf(floor)["wrapS"], kRepeat);

  // The roof, scaled 3.5, offset (0.25, 0.5), turned 30 degrees, mirrored:
  // the scales of the mirrored tile (twice the image each way), the rotation
  // negated in radians, and the glTF's transform samples where the file's
  // placement does (v turned over).
  const Json& roof = demo.Material("Roof")["pbrMetallicRoughness"]["baseColorTexture"];
  const Json& transform = roof["extensions"]["KHR_texture_transform"];
  EXPECT_EQ(transform["scale"], Json::array({7, 7}));
  EXPECT_FLOAT_EQ(transform["rotation"].get<float>(),
                  static_cast<float>(-30 * std::numbers::pi / 180));
  const torvik::H3dsScene scene =
      torvik::HRead3dsScene(testing_support::ReadFile((demo.dir.path() / "materials.3ds").string()),
                            torvik::SceneGltfReadOptions(1));
  const torvik::H3dsMat& stored = scene.material[2];
  ASSERT_EQ(stored.name, "Roof");
  const torvik::TexturePlacement placement =
      torvik::MapPlacement(stored.Map(torvik::MapKind::texture));
  for (const auto& [u, v] : {std::pair{0.0, 0.0}, {1.0, 0.0}, {0.3, 0.8}, {1.0, 1.0}}) {
    const std::array<double, 2> file = placement.Apply(u, v);
    const std::array<double, 2> gltf = Transformed(roof, u, 1 - v);
    EXPECT_NEAR(gltf[0], file[0], 1e-5) << u << " " << v;
    EXPECT_NEAR(gltf[1], 1 - file[1], 1e-5) << u << " " << v;
  }
  EXPECT_EQ(demo.SamplerOf(roof)["wrapS"], kMirroredRepeat);
  EXPECT_EQ(demo.SamplerOf(roof)["wrapT"], kMirroredRepeat);

  // The U offset is negated, the V offset kept (about the image's centre
  // only the rotation turns); no tiling clamps.
  torvik::H3dsTextureMap map;
  map.u_offset = 0.25f;
  map.v_offset = 0.5f;
  EXPECT_EQ(torvik::MapPlacement(map).Apply(0, 0), (std::array<double, 2>{-0.25, 0.5}));
  map.tiling = torvik::kMapNoTiling;
  EXPECT_EQ(torvik::MapWrapOf(map), torvik::MapWrap::clamp_to_edge);
  EXPECT_NE(kClampToEdge, kRepeat);
}

TEST(SceneMaterials, TheOpacityMapBecomesTheBaseColoursAlphaAndAnAmountMixesTheDiffuseColour) {
  const DemoGltf& demo = Demo();
  // The facade's grille: opaque bars, clear holes, a cut-out.
  const Json& facade = demo.Material("Facade");
  EXPECT_EQ(facade["alphaMode"], "MASK");
  int width = 0, height = 0;
  const std::vector<std::uint8_t> rgba =
      demo.Pixels(facade["pbrMetallicRoughness"]["baseColorTexture"], width, height);
  ASSERT_EQ(width * 1000 + height, 64064);
  const auto at = [&](int x, int y) {
    const std::size_t i = 4 * (static_cast<std::size_t>(y) * 64 + x);
    return std::array<int, 4>{rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
  };
  // The colours are the colour map's (facade_grillage.png), the alpha the
  // opacity map's (facade_grillage_alpha.png).
  EXPECT_EQ(at(1, 1), (std::array<int, 4>{62, 90, 62, 255}));    // a bar
  EXPECT_EQ(at(8, 40), (std::array<int, 4>{76, 90, 140, 0}));    // a hole
  EXPECT_EQ(at(30, 40), (std::array<int, 4>{120, 90, 140, 0}));  // a hole
  EXPECT_EQ(at(30, 50)[3], 255);

  // 60 % of the floor's tile over the blue diffuse colour, in bytes.
  const Json& faded = demo.Material("Faded")["pbrMetallicRoughness"];
  EXPECT_EQ(faded["baseColorFactor"], Json::array({1, 1, 1, 1.0}));
  const std::vector<std::uint8_t> mixed = demo.Pixels(faded["baseColorTexture"], width, height);
  ASSERT_EQ(width, 64);
  const int diffuse[3] = {51, 77, 230}, tile[3] = {214, 206, 188}, border[3] = {40, 40, 48};
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(mixed[4 * (20 * 64 + 20) + c], 0.6 * tile[c] + 0.4 * diffuse[c], 1) << c;
    EXPECT_NEAR(mixed[c], 0.6 * border[c] + 0.4 * diffuse[c], 1) << c;
  }
  EXPECT_FALSE(demo.Material("Faded").contains("alphaMode"));
}

TEST(SceneMaterials, ABumpMapIsANormalMapLeaningAwayFromItsRiseWithTangents) {
  const DemoGltf& demo = Demo();
  const Json& bricks = demo.Material("Bricks");
  const Json& normal = bricks["normalTexture"];
  EXPECT_FLOAT_EQ(normal["scale"].get<float>(), 0.3f);  // the map's amount
  EXPECT_EQ(normal["extensions"], bricks["pbrMetallicRoughness"]["baseColorTexture"]["extensions"]);
  // Where the heights rise to the right, the normal leans left (-X), not up
  // or down (Y 0), mostly out of the surface.
  int width = 0, height = 0;
  const std::vector<std::uint8_t> rgba = demo.Pixels(normal, width, height);
  ASSERT_EQ(width * 1000 + height, 64064);
  for (const auto& [x, y] : {std::pair{10, 10}, {35, 32}, {51, 20}}) {
    const std::size_t i = 4 * (static_cast<std::size_t>(y) * 64 + x);
    EXPECT_LT(rgba[i], 124) << x << "," << y;
    EXPECT_NEAR(rgba[i + 1], 128, 1) << x << "," << y;
    EXPECT_GT(rgba[i + 2], 200) << x << "," << y;
  }
  // A ramp that rises towards the image's top leans the normal down (-Y).
  torvik::images::ValueImage rising{64, 64, {}};
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      rising.values.push_back(static_cast<std::uint8_t>(32 * ((63 - y) % 8)));
  const torvik::images::DecodedImage down = torvik::images::NormalMap(
      rising, torvik::images::EdgeWrap::clamp, torvik::images::EdgeWrap::clamp);
  const std::uint8_t* middle = &down.pixels[down.channels * (28 * 64 + 32)];
  EXPECT_NEAR(middle[0], 128, 1);
  EXPECT_LT(middle[1], 124);

  // The wall (file x along u, z up along v) has tangents along glTF's +X,
  // and normal x tangent x w up glTF's +Y: up the image.
  const Json& attributes = demo.PrimitiveOf("Bricks")["attributes"];
  ASSERT_TRUE(attributes.contains("TANGENT"));
  const std::vector<float> tangents = demo.Floats(attributes["TANGENT"].get<std::size_t>(), 4);
  const std::vector<float> normals = demo.Floats(attributes["NORMAL"].get<std::size_t>(), 3);
  ASSERT_EQ(tangents.size() / 4, normals.size() / 3);
  for (std::size_t v = 0; v < normals.size() / 3; ++v) {
    const float* t = &tangents[4 * v];
    const float* n = &normals[3 * v];
    EXPECT_NEAR(t[0], 1, 1e-6);
    EXPECT_NEAR(std::abs(t[1]) + std::abs(t[2]), 0, 1e-6);
    const double up = (n[2] * t[0] - n[0] * t[2]) * t[3];  // (n x t).y w
    EXPECT_NEAR(up, 1, 1e-6) << v;
  }
  // Only normal-mapped materials' primitives carry tangents.
  EXPECT_FALSE(demo.PrimitiveOf("Floor")["attributes"].contains("TANGENT"));
}

TEST(SceneMaterials, ShininessSpecularAndSelfIlluminationFollowTheirFormulasAndPlainStaysPlain) {
  const DemoGltf& demo = Demo();
  // Shininess 70 %: roughness (2 / (2^(10 x 0.7) + 2))^(1/4); strength 100 %
  // keeps the specular colour as it is, with the specular map.
  const Json& metal = demo.Material("Metal");
  EXPECT_FLOAT_EQ(metal["pbrMetallicRoughness"]["roughnessFactor"].get<float>(),
                  static_cast<float>(std::pow(2 / (std::pow(2, 7) + 2), 0.25)));
  const Json& specular = metal["extensions"]["KHR_materials_specular"];
  EXPECT_FALSE(specular.contains("specularFactor"));
  EXPECT_EQ(specular["specularColorFactor"][2], 1);
  EXPECT_FLOAT_EQ(specular["specularColorFactor"][0].get<float>(),
                  static_cast<float>(std::pow((0.9 + 0.055) / 1.055, 2.4)));
  EXPECT_TRUE(specular.contains("specularColorTexture"));

  // 80 % self-illuminated: the glow is 0.8 of the base colour.
  const Json& lamp = demo.Material("Lamp");
  for (std::size_t c = 0; c < 3; ++c)
    EXPECT_NEAR(lamp["emissiveFactor"][c].get<double>(),
                0.8 * lamp["pbrMetallicRoughness"]["baseColorFactor"][c].get<double>(), 1e-6);

  // A material without shininess, strength, glow or maps but texture 1 is
  // as before: roughness from the specular colour, no extension.
  const Json& floor = demo.Material("Floor");
  EXPECT_EQ(floor["pbrMetallicRoughness"]["roughnessFactor"], 0.75);
  for (const char* key : {"extensions", "emissiveFactor", "normalTexture", "alphaMode"})
    EXPECT_FALSE(floor.contains(key)) << key;
}

}  // namespace

namespace {

using namespace torvik::images;

// The image operations behind the derived maps, on values worked out by
// hand: an opacity map's values (luminance or alpha, negated), resampled,
// given the map's amount; a texture mixed with a colour; how an alpha draws.
TEST(SceneMaterials, DerivedImagesTakeTheValuesTheirRulesSay) {
  // Two pixels, RGBA: white half see-through, and pure green opaque.
  const DecodedImage image{2, 1, 4, {255, 255, 255, 128, 0, 255, 0, 255}};
  EXPECT_EQ(MapValues(image, false, false).values, (std::vector<std::uint8_t>{255, 150}));
  EXPECT_EQ(MapValues(image, true, false).values, (std::vector<std::uint8_t>{128, 255}));
  EXPECT_EQ(MapValues(image, false, true).values, (std::vector<std::uint8_t>{0, 105}));

  // Twice as wide: each new pixel's centre lies a quarter of an old pixel
  // from one, repeating past the edges.
  const ValueImage ramp{2, 1, {0, 200}};
  EXPECT_EQ(Resampled(ramp, 4, 1, EdgeWrap::clamp, EdgeWrap::clamp).values,
            (std::vector<std::uint8_t>{0, 50, 150, 200}));
  EXPECT_EQ(Resampled(ramp, 4, 1, EdgeWrap::repeat, EdgeWrap::repeat).values,
            (std::vector<std::uint8_t>{50, 50, 150, 150}));

  // At 40 %, a clear pixel of a material 40 % opaque is 0.6 x 0.4 opaque,
  // an opaque one 0.4 + 0.6 x 0.4.
  ValueImage opacity{2, 1, {0, 255}};
  ApplyAmount(opacity, 0.4, 0.4);
  EXPECT_EQ(opacity.values, (std::vector<std::uint8_t>{61, 163}));
  EXPECT_EQ(AlphaUseOf(opacity), AlphaUse::blend);
  EXPECT_EQ(AlphaUseOf(ValueImage{3, 1, {0, 255, 10}}), AlphaUse::mask);
  EXPECT_EQ(AlphaUseOf(ValueImage{2, 1, {255, 255}}), AlphaUse::opaque);

  const DecodedImage mixed = MixedWithColour(image, {0, 0, 255}, 0.25);
  EXPECT_EQ(mixed.pixels, (std::vector<std::uint8_t>{64, 64, 255, 128, 0, 64, 191, 255}));
  EXPECT_EQ(Negated(image).pixels, (std::vector<std::uint8_t>{0, 0, 0, 128, 255, 0, 255, 255}));
}

}  // namespace

// Where maps land on the faces, in the scene glTF (as a viewer samples its
// images through KHR_texture_transform and the sampler) and in the preview,
// against 3D Studio's rule written out here on its own; and which way a
// bump map's relief stands.  Each case is one square of a generated row
// (map_placements.h) whose map is a checkerboard, or domes of heights.
namespace {

using t3ds::PlacementCase;
using Rgba = std::array<double, 4>;

constexpr std::uint16_t kMirrorFlag = 0x0002, kShownOnce = 0x0001 | 0x0010;

// Where 3D Studio samples a map for the stored coordinates (u, v), in the
// image's units with v up: scaled and turned about the tile's centre, then
// offset (the U offset to the left); a mirrored map's tile is the image
// beside its mirror image, twice the image each way.
std::array<double, 2> MaxSample(const t3ds::MapChunk& map, double u, double v) {
  const double su = map.u_scale.value_or(1), sv = map.v_scale.value_or(1);
  const double angle = -map.rotation.value_or(0) * std::numbers::pi / 180;
  const double x = su * (u - 0.5), y = sv * (v - 0.5);
  std::array<double, 2> q = {0.5 + std::cos(angle) * x - std::sin(angle) * y,
                             0.5 + std::sin(angle) * x + std::cos(angle) * y};
  q[0] -= map.u_offset.value_or(0);
  q[1] += map.v_offset.value_or(0);
  if ((map.tiling.value_or(0) & kMirrorFlag) != 0) q = {2 * q[0], 2 * q[1]};
  return q;
}

// A coordinate of the image's units brought into [0, 1] as the tiling flags
// say; none outside the one copy of a map shown once.
std::optional<double> MaxWrapped(double q, std::uint16_t tiling) {
  if ((tiling & kMirrorFlag) != 0) {
    const double in_period = q - 2 * std::floor(q / 2);
    return in_period <= 1 ? in_period : 2 - in_period;
  }
  if ((tiling & kShownOnce) != 0) {
    if (q < 0 || q > 1) return std::nullopt;
    return q;
  }
  return q - std::floor(q);
}

// A sampled image, rows from the top, its texel centres at (i + 0.5) / size.
struct Texels {
  int width = 0, height = 0, channels = 4;
  std::vector<std::uint8_t> pixels;

  // Bilinear, at image coordinates with v down (glTF's), continuing past
  // the edges as the wraps (glTF's codes) say.
  Rgba At(double s, double t, int wrap_s, int wrap_t) const {
    const auto wrapped = [](long i, int size, int wrap) -> long {
      if (wrap == kRepeat) return ((i % size) + size) % size;
      if (wrap == kMirroredRepeat) {
        const long in_period = ((i % (2 * size)) + 2 * size) % (2 * size);
        return in_period < size ? in_period : 2 * size - 1 - in_period;
      }
      return std::clamp<long>(i, 0, size - 1);
    };
    const double x = s * width - 0.5, y = t * height - 0.5;
    const double fx = x - std::floor(x), fy = y - std::floor(y);
    const auto x0 = static_cast<long>(std::floor(x)), y0 = static_cast<long>(std::floor(y));
    Rgba sum{};
    for (int j = 0; j < 2; ++j) {
      for (int i = 0; i < 2; ++i) {
        const double weight = (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
        const std::size_t at = static_cast<std::size_t>(wrapped(y0 + j, height, wrap_t) * width +
                                                        wrapped(x0 + i, width, wrap_s)) *
                               static_cast<std::size_t>(channels);
        for (int c = 0; c < 4; ++c)
          sum[static_cast<std::size_t>(c)] +=
              weight * (c < channels ? pixels[at + static_cast<std::size_t>(c)] : 255);
      }
    }
    return sum;
  }
};

// The generated row of squares, its glTF, and its preview's textures.
struct PlacedRow {
  TempDir dir;
  std::vector<PlacementCase> cases;
  torvik::GltfDocument document;
  torvik::BmfFile bmf;
  PreviewTextures preview;

  PlacedRow(std::vector<PlacementCase> placements, std::uint16_t id, const t3ds::RgbImage& image,
            torvik::GltfOptions options = {})
      : cases(std::move(placements)) {
    const t3ds::MaterialsDemo row = t3ds::PlacedMaps(cases, id, "MAP.PNG");
    const std::vector<std::uint8_t> bytes = t3ds::BuildFile(row.materials, row.meshes);
    const std::filesystem::path model = dir.path() / "row.3ds";
    testing_support::WriteFile(model.string(), bytes);
    testing_support::WriteFile(dir.file("map.png"), t3ds::PngBytes(image));
    const torvik::H3dsScene scene = torvik::HRead3dsScene(bytes, torvik::SceneGltfReadOptions(1));
    options.find_texture = torvik::TexturesBeside(model);
    document = torvik::BuildSceneGltf(scene, options);
    bmf = testing_support::ParseBmf(testing_support::Convert(bytes));
    std::vector<std::size_t> blocks(cases.size());
    std::iota(blocks.begin(), blocks.end(), 0);
    preview = LoadScenePreviewTextures(
        bmf, blocks, scene.material,
        torvik::DistinctMapFiles(torvik::ResolveMaterialMaps(scene.material, model, {})), true);
  }

  const Json& Material(std::size_t i) const {
    for (const Json& material : document.json["materials"])
      if (material["name"] == cases[i].name) return material;
    ADD_FAILURE() << "no material " << cases[i].name;
    return document.json["materials"][0];
  }
  const Texels& ImageOf(const Json& info) const {
    const Json& json = document.json;
    const std::size_t image =
        json["textures"][info["index"].get<std::size_t>()]["source"].get<std::size_t>();
    auto [known, added] = decoded_.try_emplace(image);
    if (added) {
      const Json& view =
          json["bufferViews"][json["images"][image]["bufferView"].get<std::size_t>()];
      int channels = 0;
      stbi_uc* pixels = stbi_load_from_memory(
          document.binary.data() + view["byteOffset"].get<std::size_t>(),
          view["byteLength"].get<int>(), &known->second.width, &known->second.height, &channels, 4);
      EXPECT_NE(pixels, nullptr);
      if (pixels != nullptr) {
        known->second.pixels.assign(pixels,
                                    pixels + 4 * known->second.width * known->second.height);
        stbi_image_free(pixels);
      }
    }
    return known->second;
  }
  // What a glTF viewer shows of the textureInfo at the stored coordinates
  // (u, v): TEXCOORD_0 holds (u, 1 - v), then the texture's transform and
  // sampler.
  Rgba GltfTexel(const Json& info, double u, double v) const {
    const Json& json = document.json;
    const Json& sampler =
        json["samplers"]
            [json["textures"][info["index"].get<std::size_t>()]["sampler"].get<std::size_t>()];
    std::array<double, 2> st = {u, 1 - v};
    if (info.contains("extensions")) st = Transformed(info, u, 1 - v);
    return ImageOf(info).At(st[0], st[1], sampler["wrapS"].get<int>(), sampler["wrapT"].get<int>());
  }
  // What the preview draws of block i's texture at (u, v).
  std::optional<Rgba> PreviewTexel(std::size_t i, double u, double v) const {
    const Image* image = preview.blocks[i].get();
    if (image == nullptr) return std::nullopt;
    const PreviewSurface& surface = preview.surfaces[i];
    const auto [s, t] = surface.placement.Apply(u, v);
    const int wrap = surface.wrap == torvik::MapWrap::repeat            ? kRepeat
                     : surface.wrap == torvik::MapWrap::mirrored_repeat ? kMirroredRepeat
                                                                        : kClampToEdge;
    Texels texels{image->width, image->height, 4, {}};
    for (std::size_t p = 0; p < image->pixels.size(); ++p)
      texels.pixels.insert(texels.pixels.end(),
                           {image->pixels[p].r, image->pixels[p].g, image->pixels[p].b,
                            image->alpha.empty() ? std::uint8_t{255} : image->alpha[p]});
    return texels.At(s, 1 - t, wrap, wrap);
  }

 private:
  mutable std::map<std::size_t, Texels> decoded_;
};

// The cell of the checkerboard whose colour is nearest to a texel's (its
// column and row), or the material's diffuse colour (-1, -1).
using Cell = std::pair<int, int>;
constexpr Cell kDiffuse{-1, -1};
Cell Nearest(const Rgba& texel) {
  const t3ds::Rgb diffuse = {51, 77, 230};  // kRowDiffuse in bytes
  const auto distance = [&](const t3ds::Rgb& colour) {
    double sum = 0;
    for (std::size_t c = 0; c < 3; ++c) sum += std::abs(texel[c] - colour[c]);
    return sum;
  };
  Cell best = kDiffuse;
  double best_distance = distance(diffuse);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      if (distance(t3ds::CheckerCell(x, y)) < best_distance)
        best = {x, y}, best_distance = distance(t3ds::CheckerCell(x, y));
    }
  }
  return best;
}

// Of a grid of points on each square, those where 3D Studio's colour is
// clear (not within 1.5 pixels of a cell's edge) and the export draws
// another: the names of the cases where any does, in the glTF and in the
// preview.
struct Misplaced {
  std::vector<std::string> gltf, preview;
};
Misplaced MisplacedCases(const PlacedRow& row) {
  Misplaced result;
  for (std::size_t i = 0; i < row.cases.size(); ++i) {
    const t3ds::MapChunk& map = row.cases[i].map;
    const Json& info = row.Material(i)["pbrMetallicRoughness"]["baseColorTexture"];
    std::size_t gltf_wrong = 0, preview_wrong = 0;
    for (int gy = 0; gy <= 40; ++gy) {
      for (int gx = 0; gx <= 40; ++gx) {
        const double u = 0.0125 + gx * 0.024375, v = 0.0125 + gy * 0.024375;
        const std::array<double, 2> q = MaxSample(map, u, v);
        const std::optional<double> x = MaxWrapped(q[0], map.tiling.value_or(0));
        const std::optional<double> y = MaxWrapped(q[1], map.tiling.value_or(0));
        const auto clear = [](double at) {
          const double pixel = at * 64;
          return std::abs(pixel - 8 * std::round(pixel / 8)) > 1.5;
        };
        Cell expected = kDiffuse;
        if (x && y) {
          if (!clear(*x) || !clear(*y)) continue;
          expected = {std::min(static_cast<int>(*x * 8), 7),
                      std::min(static_cast<int>((1 - *y) * 8), 7)};
        } else if ((!x && (q[0] > -0.03 && q[0] < 1.03)) || (!y && (q[1] > -0.03 && q[1] < 1.03))) {
          continue;  // beside the copy's edge
        }
        gltf_wrong += Nearest(row.GltfTexel(info, u, v)) != expected;
        const std::optional<Rgba> drawn = row.PreviewTexel(i, u, v);
        preview_wrong += !drawn || Nearest(*drawn) != expected;
      }
    }
    if (gltf_wrong != 0) result.gltf.push_back(row.cases[i].name);
    if (preview_wrong != 0) result.preview.push_back(row.cases[i].name);
  }
  return result;
}

using Names = std::vector<std::string>;

// Tiling scales about the tile's centre: a square tiled 10 x 10 has a tile's
// middle at its middle (its edges cut tiles in half); odd, even and
// fractional scales, offsets, rotations and all three land where 3D Studio
// puts them.
TEST(SceneMaterials, TiledMapsLandWhere3dStudioPutsThemInTheGltfAndThePreview) {
  const PlacedRow row(t3ds::TilingCases(), 0xA200, t3ds::Checkerboard());
  const Misplaced misplaced = MisplacedCases(row);
  EXPECT_EQ(misplaced.gltf, Names{});
  EXPECT_EQ(misplaced.preview, Names{});
  EXPECT_TRUE(row.document.warnings.empty()) << row.document.warnings.front();
  EXPECT_TRUE(row.preview.problems.empty()) << row.preview.problems.front();
}

// Mirror at tiling 1 shows the image and its mirror image side by side, as
// 3D Studio does: two copies, not one.
TEST(SceneMaterials, MirroredMapsShowTheImageBesideItsMirrorImage) {
  const PlacedRow row(t3ds::MirrorCases(), 0xA200, t3ds::Checkerboard());
  const Misplaced misplaced = MisplacedCases(row);
  EXPECT_EQ(misplaced.gltf, Names{});
  EXPECT_EQ(misplaced.preview, Names{});
  // Across the first square, the image's left column of cells shows twice.
  int left_columns = 0;
  bool was_left = false;
  const Json& info = row.Material(0)["pbrMetallicRoughness"]["baseColorTexture"];
  for (int x = 0; x < 200; ++x) {
    const bool left = Nearest(row.GltfTexel(info, (x + 0.5) / 200, 0.3)).first == 0;
    left_columns += left && !was_left;
    was_left = left;
  }
  EXPECT_EQ(left_columns, 2);
}

// A decal or a map that does not tile shows one copy, and the material's
// own colour around it, not its edges' pixels smeared.
TEST(SceneMaterials, AMapShownOnceLeavesTheDiffuseColourAroundIt) {
  const PlacedRow row(t3ds::DecalCases(), 0xA200, t3ds::Checkerboard());
  const Misplaced misplaced = MisplacedCases(row);
  EXPECT_EQ(misplaced.gltf, Names{});
  EXPECT_EQ(misplaced.preview, Names{});
  for (std::size_t i = 0; i < row.cases.size(); ++i) {
    const Json& material = row.Material(i);
    // Opaque, the diffuse colour in the image itself.
    EXPECT_FALSE(material.contains("alphaMode")) << row.cases[i].name;
    EXPECT_EQ(material["pbrMetallicRoughness"]["baseColorFactor"], Json::array({1, 1, 1, 1.0}));
  }
}

// The relief a viewer shows through the normal map, its tangents and the
// texture's transform: the slopes it leans the normals by, against those of
// the heights as 3D Studio lays them on the face.  Correlation 1: the same
// relief; -1: domes shown as dents.
double ReliefCorrelation(const PlacedRow& row, std::size_t i) {
  t3ds::RgbImage domes = t3ds::Domes();
  const t3ds::MapChunk& map = row.cases[i].map;
  const std::uint16_t tiling = map.tiling.value_or(0);
  // The heights 3D Studio lays on the face at (u, v), bilinear.
  const auto height = [&](double u, double v) {
    const std::array<double, 2> q = MaxSample(map, u, v);
    const double x = *MaxWrapped(q[0], tiling) * 64 - 0.5;
    const double y = (1 - *MaxWrapped(q[1], tiling)) * 64 - 0.5;
    const auto at = [&](double px, double py) {
      const int cx = std::clamp(static_cast<int>(std::floor(px)), 0, 63);
      const int cy = std::clamp(static_cast<int>(std::floor(py)), 0, 63);
      return static_cast<double>(domes.at(cx, cy)[0]);
    };
    const double fx = x - std::floor(x), fy = y - std::floor(y);
    return (1 - fy) * ((1 - fx) * at(x, y) + fx * at(x + 1, y)) +
           fy * ((1 - fx) * at(x, y + 1) + fx * at(x + 1, y + 1));
  };
  const Json& primitive = [&]() -> const Json& {
    for (const Json& mesh : row.document.json["meshes"])
      if (mesh["name"] == row.cases[i].name) return mesh["primitives"][0];
    return row.document.json["meshes"][0]["primitives"][0];
  }();
  const Json& info = row.Material(i)["normalTexture"];
  EXPECT_TRUE(primitive["attributes"].contains("TANGENT")) << row.cases[i].name;
  if (!primitive["attributes"].contains("TANGENT")) return 0;
  // The square's tangent, normal and w, alike at every vertex.
  const std::vector<float> tangent = [&] {
    const Json& a =
        row.document.json["accessors"][primitive["attributes"]["TANGENT"].get<std::size_t>()];
    const Json& view = row.document.json["bufferViews"][a["bufferView"].get<std::size_t>()];
    std::vector<float> t(4);
    std::memcpy(t.data(), row.document.binary.data() + view["byteOffset"].get<std::size_t>(), 16);
    return t;
  }();
  // glTF's axes: the file's x is X (u), its y is -Z (v), its z (the normal) Y.
  const std::array<double, 3> t = {tangent[0], tangent[1], tangent[2]}, n = {0, 1, 0};
  const std::array<double, 3> b = {(n[1] * t[2] - n[2] * t[1]) * tangent[3],
                                   (n[2] * t[0] - n[0] * t[2]) * tangent[3],
                                   (n[0] * t[1] - n[1] * t[0]) * tangent[3]};
  std::vector<double> seen, true_slopes;
  constexpr double kStep = 0.002;
  for (int gy = 0; gy < 48; ++gy) {
    for (int gx = 0; gx < 48; ++gx) {
      const double u = (gx + 0.5) / 48, v = (gy + 0.5) / 48;
      const Rgba texel = row.GltfTexel(info, u, v);
      const double nt[3] = {texel[0] / 127.5 - 1, texel[1] / 127.5 - 1, texel[2] / 127.5 - 1};
      std::array<double, 3> world{};
      for (std::size_t c = 0; c < 3; ++c) world[c] = t[c] * nt[0] + b[c] * nt[1] + n[c] * nt[2];
      seen.push_back(world[0]);   // along u
      seen.push_back(-world[2]);  // along v
      true_slopes.push_back(-(height(u + kStep, v) - height(u - kStep, v)));
      true_slopes.push_back(-(height(u, v + kStep) - height(u, v - kStep)));
    }
  }
  const auto mean = [](const std::vector<double>& xs) {
    return std::accumulate(xs.begin(), xs.end(), 0.0) / static_cast<double>(xs.size());
  };
  const double ms = mean(seen), mt = mean(true_slopes);
  double st = 0, ss = 0, tt = 0;
  for (std::size_t k = 0; k < seen.size(); ++k) {
    st += (seen[k] - ms) * (true_slopes[k] - mt);
    ss += (seen[k] - ms) * (seen[k] - ms);
    tt += (true_slopes[k] - mt) * (true_slopes[k] - mt);
  }
  return st / std::sqrt(ss * tt);
}

// A bump map turned or mirrored shows its relief as authored: domes stay
// domes, whichever way the map lies.
TEST(SceneMaterials, ATurnedOrMirroredBumpMapShowsTheReliefAsAuthored) {
  const PlacedRow row(t3ds::BumpCases(), 0xA230, t3ds::Domes());
  for (std::size_t i = 0; i < row.cases.size(); ++i)
    EXPECT_GT(ReliefCorrelation(row, i), 0.9) << row.cases[i].name;
}

}  // namespace

// Each image derived from maps is made once per model for what it is made
// of, however many materials draw it, and the budget is asked for all it
// would take before any of its files is decoded.
namespace {

torvik::H3dsMat MaterialWith(const std::string& texture, const std::string& opacity) {
  torvik::H3dsMat mat;
  mat.name = "M";
  for (const auto& [kind, name] :
       {std::pair{torvik::MapKind::texture, texture}, {torvik::MapKind::opacity, opacity}}) {
    mat.Map(kind).present = !name.empty();
    mat.Map(kind).name = name;
  }
  return mat;
}

TEST(SceneMaterials, EachMapIsDerivedOnceAndTheBudgetIsAskedBeforeAnythingIsDecoded) {
  TempDir dir;
  const std::filesystem::path colour = dir.path() / "colour.png", alpha = dir.path() / "alpha.png",
                              heights = dir.path() / "heights.png";
  testing_support::WriteFile(colour.string(), t3ds::PngBytes(t3ds::Checkerboard()));
  testing_support::WriteFile(alpha.string(), t3ds::PngBytes(t3ds::Domes()));
  testing_support::WriteFile(heights.string(), t3ds::PngBytes(t3ds::Domes()));
  std::size_t reads = 0;
  const auto read = [&](const std::filesystem::path& file) {
    ++reads;
    return testing_support::ReadFile(file.string());
  };
  const auto key = [](const std::filesystem::path& file) { return file.string(); };
  constexpr std::uint64_t kPixels = 64 * 64;

  // Sixty materials of one texture and opacity map, whatever their other
  // colours: one image, its two files decoded once each.  Another amount of
  // the texture is another image, of the same decoded files.
  torvik::images::TextureBudget budget;
  torvik::MapDeriver deriver(budget, read, key);
  torvik::H3dsMat mat = MaterialWith("C.PNG", "A.PNG");
  std::shared_ptr<const torvik::DerivedMap> first;
  for (int i = 0; i < 60; ++i) {
    mat.ambient.red = static_cast<float>(i) / 60;
    const torvik::BaseColourPlan plan = torvik::PlanBaseColour(mat, true, true);
    const std::shared_ptr<const torvik::DerivedMap> made =
        deriver.BaseColour(mat, plan, colour, alpha, 1);
    if (!first) first = made;
    EXPECT_EQ(made, first);
  }
  EXPECT_EQ(deriver.Derivations(), 1u);
  EXPECT_EQ(deriver.Decodings(), 2u);
  mat.Map(torvik::MapKind::texture).percent = 0.5f;
  EXPECT_NE(deriver.BaseColour(mat, torvik::PlanBaseColour(mat, true, true), colour, alpha, 1),
            first);
  EXPECT_EQ(deriver.Derivations(), 2u);
  EXPECT_EQ(deriver.Decodings(), 2u);
  EXPECT_EQ(reads, 2u);
  // A bump map: once per file and the way it turns.
  torvik::H3dsTextureMap bump;
  bump.present = true;
  bump.name = "H.PNG";
  for (const float degrees : {0.0f, 0.0f, 90.0f, 90.0f, 0.0f}) {
    bump.rotation = degrees;
    deriver.Normals(bump, heights);
  }
  EXPECT_EQ(deriver.Derivations(), 4u);
  EXPECT_EQ(deriver.Decodings(), 3u);

  // Room for both files but not for what they make: refused before either
  // is decoded, once, and so is every material that would draw it.
  torvik::images::TextureBudget small(2 * kPixels * 4 + kPixels);
  torvik::MapDeriver refusing(small, read, key);
  const torvik::H3dsMat pair = MaterialWith("C.PNG", "A.PNG");
  for (int i = 0; i < 3; ++i) {
    try {
      refusing.BaseColour(pair, torvik::PlanBaseColour(pair, true, true), colour, alpha, 1);
      ADD_FAILURE() << "not refused";
    } catch (const torvik::images::ImageError& error) {
      EXPECT_EQ(std::string(error.what()), small.Exceeded());
    }
  }
  EXPECT_EQ(refusing.Decodings(), 0u);
  EXPECT_EQ(refusing.Derivations(), 0u);
  EXPECT_TRUE(small.Take(2 * kPixels * 4 + kPixels));  // nothing was taken

  // In the glTF and the preview of sixty materials alike: one image.
  std::vector<PlacementCase> cases(60, PlacementCase{"", {.percent = 60}});
  for (std::size_t i = 0; i < cases.size(); ++i) cases[i].name = "M" + std::to_string(i);
  const PlacedRow row(cases, 0xA200, t3ds::Checkerboard());
  EXPECT_EQ(row.document.json["images"].size(), 1u);
  EXPECT_EQ(std::set(row.preview.blocks.begin(), row.preview.blocks.end()).size(), 1u);
  EXPECT_NE(row.preview.blocks[0], nullptr);
}

}  // namespace
