// The glTF export: the model as authored (axes, winding), the opacity rule,
// embedded textures, and files that the Khronos validator passes.
#include "torvik32c/gltf_export.h"

#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <set>
#include <sstream>
#include <tuple>

#include "animated_demo.h"
#include "every_map_model.h"
#include "image_files.h"
#include "keyframer_demo.h"
#include "map_placements.h"
#include "materials_demo.h"
#include "obj_export.h"
#include "png_image.h"
#include "shapes.h"
#include "test_support.h"
#include "torvik32c/export_conventions.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/texture_finder.h"

namespace {

using torvik::BuildGltf;
using torvik::GltfDocument;
using torvik::GltfOptions;
using torvik::OpacityOf;
using torvik::TexturesBeside;
using torvik::WriteGltf;

using testing_support::TempDir;
using Vec3 = std::array<float, 3>;

torvik::BmfFile BmfOf(const std::vector<t3ds::Material>& materials,
                      const std::vector<t3ds::Mesh>& meshes) {
  return torvik::ReadBmf(testing_support::Convert(t3ds::BuildFile(materials, meshes)));
}

// The elements of an accessor, as floats or as indices.
template <class T>
std::vector<T> AccessorData(const GltfDocument& document, std::size_t accessor) {
  const auto& a = document.json["accessors"][accessor];
  const auto& view = document.json["bufferViews"][a["bufferView"].get<std::size_t>()];
  const std::string type = a["type"];
  const std::size_t width = type == "VEC3" ? 3 : type == "VEC2" ? 2 : 1;
  std::vector<T> data(a["count"].get<std::size_t>() * width);
  EXPECT_EQ(view["byteLength"].get<std::size_t>(), data.size() * sizeof(T));
  std::memcpy(data.data(), document.binary.data() + view["byteOffset"].get<std::size_t>(),
              data.size() * sizeof(T));
  return data;
}

struct Primitive {
  std::vector<float> positions, normals, texcoords;
  std::vector<std::uint16_t> indices;
  Vec3 Position(std::size_t i) const {
    return {positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]};
  }
  Vec3 Normal(std::size_t i) const {
    return {normals[3 * i], normals[3 * i + 1], normals[3 * i + 2]};
  }
};

std::vector<Primitive> PrimitivesOf(const GltfDocument& document) {
  std::vector<Primitive> primitives;
  for (const auto& p : document.json["meshes"][0]["primitives"]) {
    const auto& attributes = p["attributes"];
    primitives.push_back({AccessorData<float>(document, attributes["POSITION"]),
                          AccessorData<float>(document, attributes["NORMAL"]),
                          attributes.contains("TEXCOORD_0")
                              ? AccessorData<float>(document, attributes["TEXCOORD_0"])
                              : std::vector<float>{},
                          AccessorData<std::uint16_t>(document, p["indices"])});
  }
  return primitives;
}

Vec3 Minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

std::array<std::uint32_t, 3> Bits(const Vec3& v) {
  return {std::bit_cast<std::uint32_t>(v[0]), std::bit_cast<std::uint32_t>(v[1]),
          std::bit_cast<std::uint32_t>(v[2])};
}

// A box and a cylinder off the origin, at values that don't round-trip
// through decimal text by accident.
const t3ds::Mesh kBox = t3ds::Box("Box", {0.1f, -2.3f, 1e-3f}, {1.7f, 0.35f, 4.9e5f});
const t3ds::Mesh kPost = t3ds::Cylinder("Post", 0.3f, 2.7f, 9, {-5.1f, 3.3f, -0.7f});

TEST(GltfExport, PositionsAreTheFilesXZMinusYBitForBit) {
  std::set<std::array<std::uint32_t, 3>> expected;
  for (const t3ds::Mesh& mesh : {kBox, kPost})
    for (const t3ds::Vec3& p : mesh.vertices) expected.insert(Bits({p[0], p[2], -p[1]}));
  const GltfDocument document = BuildGltf(BmfOf({}, {kBox, kPost}));
  std::set<std::array<std::uint32_t, 3>> exported;
  for (const Primitive& primitive : PrimitivesOf(document)) {
    for (std::size_t i = 0; i < primitive.positions.size() / 3; ++i) {
      exported.insert(Bits(primitive.Position(i)));
      // Unit normals, even where a two-sided material's faces cancel them out.
      EXPECT_NEAR(Dot(primitive.Normal(i), primitive.Normal(i)), 1, 1e-6) << i;
    }
  }
  EXPECT_EQ(exported, expected);

  // POSITION's bounds are those of its data (one block holds both meshes).
  std::vector<float> low(3, INFINITY), high(3, -INFINITY);
  for (const t3ds::Mesh& mesh : {kBox, kPost}) {
    for (const t3ds::Vec3& p : mesh.vertices) {
      const Vec3 q = {p[0], p[2], -p[1]};
      for (int c = 0; c < 3; ++c)
        low[c] = std::min(low[c], q[c]), high[c] = std::max(high[c], q[c]);
    }
  }
  const auto& position = document.json["meshes"][0]["primitives"][0]["attributes"]["POSITION"];
  EXPECT_EQ(document.json["accessors"][position.get<std::size_t>()]["min"], low);
  EXPECT_EQ(document.json["accessors"][position.get<std::size_t>()]["max"], high);
}

TEST(GltfExport, WindingAgreesWithTheStoredNormalsAndFacesOutward) {
  t3ds::Mesh stone = kBox;  // one-sided, unlike the default material
  t3ds::AssignAll(stone, "Stone");
  const torvik::BmfFile file = BmfOf({{"Stone", {}, {}, {}, {}, false, ""}}, {stone});
  const std::vector<Primitive> primitives = PrimitivesOf(BuildGltf(file));
  ASSERT_EQ(primitives.size(), 1u);
  const Primitive& box = primitives[0];
  const Vec3 centre = {0.9f, 2.45e5f, 0.975f};  // of the box, in glTF's axes
  std::size_t faces = 0;
  for (std::size_t t = 0; t < box.indices.size(); t += 3, ++faces) {
    const Vec3 p0 = box.Position(box.indices[t]);
    const Vec3 face = Cross(Minus(box.Position(box.indices[t + 1]), p0),
                            Minus(box.Position(box.indices[t + 2]), p0));
    for (int c = 0; c < 3; ++c) {
      const Vec3 n = box.Normal(box.indices[t + c]);
      EXPECT_GT(Dot(face, n), 0) << "triangle " << t / 3;
      EXPECT_NEAR(Dot(n, n), 1, 1e-6);
    }
    EXPECT_GT(Dot(face, Minus(p0, centre)), 0) << "triangle " << t / 3 << " faces inward";
  }
  EXPECT_EQ(faces, 12u);
  // A triangle with an index outside its block is left out.
  torvik::BmfFile damaged = file;
  damaged.blocks[0].triangles.push_back({0, 1, 8});
  EXPECT_EQ(PrimitivesOf(BuildGltf(damaged))[0].indices, box.indices);
  // The exported normal is the stored one with z negated, scaled to unit length.
  const torvik::BMF_UNVERTEX& v = file.blocks[0].vertices[0];
  const float length = std::sqrt(v.i * v.i + v.j * v.j + v.k * v.k);
  const Vec3 n = box.Normal(0);
  EXPECT_NEAR(n[0], v.i / length, 1e-6);
  EXPECT_NEAR(n[1], v.j / length, 1e-6);
  EXPECT_NEAR(n[2], -v.k / length, 1e-6);
}

TEST(GltfExport, OpacityRuleOnTheFourKindsOfAlpha) {
  EXPECT_EQ(OpacityOf(0.0f), 1.0f);  // no transparency chunk
  EXPECT_EQ(OpacityOf(1.0f), 1.0f);  // 0 % or 1 %
  EXPECT_EQ(OpacityOf(0.4f), 1 - 0.4f);
  EXPECT_EQ(OpacityOf(0.02f), 1 - 0.02f);
  EXPECT_EQ(OpacityOf(std::nanf("")), 1.0f);

  // Materials none, 0 %, 1 % and 40 % transparent, one box each.
  std::vector<t3ds::Material> materials;
  std::vector<t3ds::Mesh> meshes;
  const std::optional<std::int16_t> transparency[] = {std::nullopt, 0, 1, 40};
  const char* const kNames[] = {"Plain", "Clear", "Clearish", "Glass"};
  for (int i = 0; i < 4; ++i) {
    const std::string name = kNames[i];
    materials.push_back({name, {}, t3ds::Color{0.5f, 0.25f, 1.5f}, {}, transparency[i], false, ""});
    meshes.push_back(t3ds::Box(name, {float(i), 0, 0}, {i + 0.5f, 1, 1}));
    t3ds::AssignAll(meshes.back(), name);
  }
  const torvik::BmfFile file = BmfOf(materials, meshes);
  const GltfDocument document = BuildGltf(file);
  std::istringstream mtl(ExportObj(file, "m.mtl").mtl);
  std::vector<float> obj_opacity;
  for (std::string key; mtl >> key;)
    if (key == "d") obj_opacity.push_back(0), mtl >> obj_opacity.back();
  ASSERT_EQ(document.json["materials"].size(), 4u);
  ASSERT_EQ(obj_opacity.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    const auto& material = document.json["materials"][i];
    const float opacity = i == 3 ? 1 - 0.4f : 1.0f;
    EXPECT_EQ(material["pbrMetallicRoughness"]["baseColorFactor"].get<std::vector<float>>(),
              (std::vector<float>{0.5f, 0.25f, 1.0f, opacity}))
        << i;
    EXPECT_EQ(material.contains("alphaMode"), i == 3) << i;
    EXPECT_EQ(obj_opacity[i], opacity) << i;
  }
  EXPECT_EQ(document.json["materials"][3]["alphaMode"], "BLEND");
}

// A torus textured by a TGA, a box by a PNG and a box whose texture is
// missing and one whose texture is no image, the files written to `dir`.
struct TexturedModel {
  std::vector<std::uint8_t> tga_pixels;  // 3 x 2 RGBA
  torvik::BmfFile bmf;
  GltfOptions options;
};

TexturedModel WriteTexturedModel(const TempDir& dir) {
  TexturedModel model;
  for (int i = 0; i < 24; ++i) model.tga_pixels.push_back(static_cast<std::uint8_t>(i * 11));
  EXPECT_NE(stbi_write_tga(dir.file("bricks.tga").c_str(), 3, 2, 4, model.tga_pixels.data()), 0);
  const std::uint8_t rgb[12] = {0, 9, 99, 255, 1, 2, 3, 4, 5, 200, 100, 50};
  EXPECT_NE(stbi_write_png(dir.file("moss.png").c_str(), 2, 2, 3, rgb, 6), 0);
  std::vector<t3ds::Mesh> meshes = {
      t3ds::Torus("Ring", 2, 0.5f, 8, 6), t3ds::Box("Rock", {3, 0, 0}, {4, 1, 1}),
      t3ds::Box("Gone", {5, 0, 0}, {6, 1, 1}), t3ds::Box("Junk", {7, 0, 0}, {8, 1, 1})};
  testing_support::WriteFile(dir.file("junk.bmp"), {'B', 'M', 'n', 'o', 't'});
  // Found whatever the case.
  const char* textures[] = {"BRICKS.TGA", "moss.png", "gone.bmp", "junk.bmp"};
  std::vector<t3ds::Material> materials;
  for (std::size_t i = 0; i < meshes.size(); ++i) {
    materials.push_back(
        {meshes[i].name, {}, t3ds::Color{0.2f, 0.3f, 0.4f}, {}, {}, false, textures[i]});
    t3ds::AssignAll(meshes[i], meshes[i].name);
  }
  model.bmf = BmfOf(materials, meshes);
  model.options.find_texture = TexturesBeside(dir.path() / "model.bmf");
  return model;
}

TEST(GltfExport, EmbeddedTexturesRoundTrip) {
  TempDir dir;
  const TexturedModel model = WriteTexturedModel(dir);
  const GltfDocument document = BuildGltf(model.bmf, model.options);
  ASSERT_EQ(document.warnings.size(), 2u);
  EXPECT_EQ(document.warnings[0],
            "texture 'gone.bmp' of block 2 was not found; the block is left untextured");
  EXPECT_EQ(document.warnings[1].rfind("texture 'junk.bmp' of block 3: " + dir.file("junk.bmp") +
                                           ": damaged image (BMP: the header is cut short)",
                                       0),
            0u)
      << document.warnings[1];
  const auto& json = document.json;
  ASSERT_EQ(json["images"].size(), 2u);
  const auto image_bytes = [&](std::size_t image) {
    EXPECT_EQ(json["images"][image]["mimeType"], "image/png");
    EXPECT_EQ(json["images"][image]["name"], image == 0 ? "BRICKS.TGA" : "moss.png");
    const auto& view = json["bufferViews"][json["images"][image]["bufferView"].get<std::size_t>()];
    const auto first = document.binary.begin() + view["byteOffset"].get<std::ptrdiff_t>();
    return std::vector<std::uint8_t>(first, first + view["byteLength"].get<std::ptrdiff_t>());
  };
  // The TGA comes back as a PNG of the same pixels, the PNG as it was.
  const std::vector<std::uint8_t> bricks = image_bytes(0);
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(bricks.data(), static_cast<int>(bricks.size()), &width,
                                          &height, &channels, 0);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(std::vector<std::uint8_t>(pixels, pixels + width * height * channels),
            model.tga_pixels);
  EXPECT_EQ(width * 10 + height, 32);
  stbi_image_free(pixels);
  EXPECT_EQ(image_bytes(1), testing_support::ReadFile(dir.file("moss.png")));

  const auto& materials = json["materials"];
  for (std::size_t m = 0; m < 2; ++m) {
    EXPECT_EQ(materials[m]["pbrMetallicRoughness"]["baseColorTexture"]["index"], m);
    EXPECT_EQ(materials[m]["pbrMetallicRoughness"]["baseColorFactor"].get<std::vector<float>>(),
              (std::vector<float>{1, 1, 1, 1}));
  }
  for (std::size_t m = 2; m < 4; ++m)
    EXPECT_FALSE(materials[m]["pbrMetallicRoughness"].contains("baseColorTexture"));
  EXPECT_EQ(json["samplers"][0]["wrapS"], 10497);
  EXPECT_EQ(json["samplers"][0]["wrapT"], 10497);

  // v is flipped to glTF's top-left origin.
  const Primitive ring = PrimitivesOf(document)[0];
  const std::vector<torvik::BMF_UNVERTEX>& stored = model.bmf.blocks[0].vertices;
  ASSERT_EQ(ring.texcoords.size(), 2 * stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) {
    EXPECT_EQ(ring.texcoords[2 * i], stored[i].u);
    EXPECT_EQ(ring.texcoords[2 * i + 1], 1 - stored[i].v);
  }
}

// Every sample and corpus file with the textures found beside it, the
// textured model and one of textures that viewers can't read as they are
// (a PNG with a damaged text chunk or a bad chunk type; CMYK, YCCK and
// two-component JPEGs), as .glb and as .gltf with its .bin, and what 3ds2bmf
// --gltf makes of the same files, of a keyframer's scene and of lights
// beside specular materials: the Khronos validator finds no error and no
// warning.
TEST(GltfValidator, SamplesCorpusAndTexturesPassWithoutErrorsOrWarnings) {
  const std::filesystem::path validator = TORVIK_GLTF_VALIDATOR_DIR;
  if (std::string(TORVIK_NODE).empty() ||
      !std::filesystem::exists(validator / "node_modules" / "gltf-validator"))
    GTEST_SKIP()
        << "Node.js or gltf-validator missing: scripts/setup-gltf-validator.sh installs them";
  TempDir dir;
  std::vector<std::string> written;
  const auto write = [&](const torvik::BmfFile& file, const std::string& name,
                         const GltfOptions& options) {
    for (const char* extension : {".glb", ".gltf"}) {
      written.push_back(dir.file(name + extension));
      WriteGltf(file, written.back(), options);
    }
  };
  std::vector<std::string> inputs = testing_support::CorpusFiles();
  for (const auto& entry : std::filesystem::directory_iterator(TORVIK_SAMPLES_DIR))
    if (entry.path().extension() == ".3ds") inputs.push_back(entry.path().string());
  for (const std::string& input : inputs) {
    const torvik::BmfFile file =
        torvik::ReadBmf(testing_support::Convert(testing_support::ReadFile(input)));
    write(file, std::filesystem::path(input).stem().string(), {TexturesBeside(input)});
  }
  const TexturedModel textured = WriteTexturedModel(dir);
  write(textured.bmf, "textured", textured.options);
  // Textures that viewers don't read as they are: embedded again or left out.
  {
    std::vector<t3ds::PngChunk> chunks = t3ds::PngChunks(t3ds::RgbImage(4, 4, {9, 99, 200}));
    chunks.insert(chunks.begin() + 1, {"t3Xt", {'x'}});
    testing_support::WriteFile(dir.file("badtype.png"), t3ds::PngFile(chunks));
    chunks[1].type = "tEXt";
    std::vector<std::uint8_t> quirky = t3ds::PngFile(chunks);
    quirky[8 + 25 + 9] ^= 1;  // tEXt's CRC
    testing_support::WriteFile(dir.file("quirky.png"), quirky);
    testing_support::WriteFile(dir.file("cmyk.jpg"), t3ds::JpegBytes(8, 8, 4, 0));
    testing_support::WriteFile(dir.file("ycck.jpg"), t3ds::JpegBytes(8, 8, 4, 2));
    testing_support::WriteFile(dir.file("two.jpg"), t3ds::JpegBytes(8, 8, 2));
    std::vector<t3ds::Material> materials;
    std::vector<t3ds::Mesh> meshes;
    for (const char* texture : {"badtype.png", "quirky.png", "cmyk.jpg", "ycck.jpg", "two.jpg"}) {
      const float x = static_cast<float>(2 * meshes.size());
      meshes.push_back(t3ds::TexturedBox(texture, {x, 0, 0}, {x + 1, 1, 1}));
      materials.push_back({texture, {}, t3ds::Color{0.5f, 0.5f, 0.5f}, {}, {}, false, texture});
      t3ds::AssignAll(meshes.back(), texture);
    }
    write(BmfOf(materials, meshes), "hostile", {TexturesBeside(dir.path() / "hostile.bmf")});
  }
  // The scene as authored that 3ds2bmf --gltf writes, of the same files, of
  // a model whose keyframer places instances, pivots, a mirror and a
  // hierarchy, and of one whose materials use tiled, mirrored, bump,
  // opacity, specular and self-illumination maps.
  const std::string gate = dir.file("gate.3ds");
  const t3ds::Scene scene = t3ds::KeyframerDemo();
  testing_support::WriteFile(gate, t3ds::BuildFile(scene.materials, scene.meshes, scene.nodes));
  inputs.push_back(gate);
  // And the animated turntable, with its camera and lights, and lights
  // beside a specular material, aimed at targets that 3ds Max's order and
  // hierarchy place, one with a cone past a half turn.
  const std::string turntable = dir.file("turntable.3ds");
  testing_support::WriteFile(turntable, t3ds::BuildFile(t3ds::AnimatedDemo()));
  inputs.push_back(turntable);
  const std::string lit = dir.file("lit.3ds");
  testing_support::WriteFile(lit, t3ds::BuildFile(t3ds::AimedLightsDemo()));
  inputs.push_back(lit);
  ASSERT_TRUE(t3ds::SaveMaterialsDemo(dir.path().string()));
  inputs.push_back(dir.file("materials.3ds"));
  // And one with every kind of map, in JPEG and PNG files, some missing.
  ASSERT_TRUE(t3ds::SaveEveryMapModel(dir.path().string()));
  inputs.push_back(dir.file("every_map.3ds"));
  // And maps placed every way: tiled, mirrored, shown once, turned bumps.
  std::vector<t3ds::PlacementCase> placed = t3ds::TilingCases();
  for (auto more : {t3ds::MirrorCases(), t3ds::DecalCases()})
    placed.insert(placed.end(), more.begin(), more.end());
  for (const auto& [name, cases, id, file, image] :
       {std::tuple{"placed", placed, std::uint16_t{0xA200}, "checker.png", t3ds::Checkerboard()},
        std::tuple{"bumps", t3ds::BumpCases(), std::uint16_t{0xA230}, "domes.png",
                   t3ds::Domes()}}) {
    const t3ds::MaterialsDemo row = t3ds::PlacedMaps(cases, id, file);
    testing_support::WriteFile(dir.file(std::string(name) + ".3ds"),
                               t3ds::BuildFile(row.materials, row.meshes));
    testing_support::WriteFile(dir.file(file), t3ds::PngBytes(image));
    inputs.push_back(dir.file(std::string(name) + ".3ds"));
  }
  for (const std::string& input : inputs) {
    const std::string output =
        dir.file(std::filesystem::path(input).stem().string() + ".scene.bmf");
    const testing_support::ToolRun converted = testing_support::RunCommand(
        std::string(TORVIK_3DS2BMF) + " -q --gltf '" + input + "' -o '" + output + "'", dir);
    EXPECT_EQ(converted.status, 0) << input << converted.err;
    written.push_back(dir.file(std::filesystem::path(input).stem().string() + ".scene.glb"));
  }

  std::string command = std::string(TORVIK_NODE) + " " + TORVIK_VALIDATE_GLTF;
  for (const std::string& path : written) command += " '" + path + "'";
  const testing_support::ToolRun run = testing_support::RunCommand(
      "GLTF_VALIDATOR_DIR='" + validator.string() + "' " + command, dir);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  for (const std::string& path : written)
    EXPECT_NE(run.out.find(path + ": 0 errors, 0 warnings,"), std::string::npos) << run.out;
}

}  // namespace
