// The materials of a 3DS scene's glTF as the author made them, on the
// generated model whose materials use 3D Studio's maps (materials_demo.h):
// maps placed and wrapped as the general readers place them, the opacity
// map in the base colour's alpha, the bump map as a normal map with
// tangents, shininess, specular and self-illumination.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "images/map_images.h"
#include "materials_demo.h"
#include "test_support.h"
#include "threeds_builder.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/gltf_export.h"
#include "torvik32c/material_maps.h"
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

TEST(SceneMaterials, MapsArePlacedAsTheGeneralReadersPlaceThemAndTilesMeetTheFacesEdges) {
  const DemoGltf& demo = Demo();
  const Json& json = demo.document.json;
  ASSERT_TRUE(json.contains("extensionsUsed"));
  EXPECT_NE(std::find(json["extensionsUsed"].begin(), json["extensionsUsed"].end(),
                      "KHR_texture_transform"),
            json["extensionsUsed"].end());
  EXPECT_FALSE(json.contains("extensionsRequired"));  // viewers without it still draw the model

  // The floor, 10 x 10 tiles: the face's corners (texture coordinates 0 and
  // 1) fall on whole tiles, 10 apart, so the tiles meet its edges.
  const Json& floor = demo.Material("Floor")["pbrMetallicRoughness"]["baseColorTexture"];
  EXPECT_EQ(floor["extensions"]["KHR_texture_transform"]["scale"], Json::array({10, 10}));
  const std::vector<float> uv =
      demo.Floats(demo.PrimitiveOf("Floor")["attributes"]["TEXCOORD_0"].get<std::size_t>(), 2);
  for (std::size_t i = 0; i < uv.size(); i += 2) {
    const std::array<double, 2> at = Transformed(floor, uv[i], uv[i + 1]);
    for (const double c : at) EXPECT_DOUBLE_EQ(c, std::round(c)) << uv[i] << " " << uv[i + 1];
    EXPECT_DOUBLE_EQ(at[0] - 10 * uv[i], Transformed(floor, 0, 0)[0]);
  }
  EXPECT_EQ(demo.SamplerOf(floor)["wrapS"], kRepeat);

  // The roof, scaled 3.5, offset (0.25, 0.5), turned 30 degrees, mirrored:
  // scales as stored, the rotation negated in radians, and the glTF's
  // transform samples where the file's placement does (v turned over).
  const Json& roof = demo.Material("Roof")["pbrMetallicRoughness"]["baseColorTexture"];
  const Json& transform = roof["extensions"]["KHR_texture_transform"];
  EXPECT_EQ(transform["scale"], Json::array({3.5, 3.5}));
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
