// The glTF reader: what a glTF becomes, and what it refuses, saying where.
#include <gtest/gtest.h>

#include <cmath>

#include "base/portable_math.h"
#include "gltf_maker.h"
#include "gltfload/gltf_materials.h"
#include "torvik32c/gltf_import.h"

namespace {

using t3ds::GltfMaker;
using t3ds::OneTriangle;

torvik::Model ModelOf(const std::vector<std::uint8_t>& bytes,
                      const torvik::ImportOptions& options = {}) {
  return torvik::ConvertImportedScene(torvik::ReadGltfScene(bytes, options));
}

// The message of the ImportError that reading `bytes` throws.
std::string Refusal(const std::vector<std::uint8_t>& bytes,
                    const torvik::ImportOptions& options = {}) {
  try {
    torvik::ReadGltfScene(bytes, options);
  } catch (const torvik::ImportError& error) {
    return error.what();
  }
  return "read";
}

TEST(GltfReader, PlacesEachMeshOncePerNodeInTheConvertersAxesAndWinding) {
  GltfMaker maker;
  const int positions = maker.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, 3);
  const int mesh = maker.Mesh(positions, maker.Indices({0, 1, 2}));
  // Drawn as stored, then moved by 10 along x, then mirrored in x.
  const int a = maker.Node(mesh, {}, "a");
  const int b = maker.Node(mesh, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1}, "b");
  const int c = maker.Node(mesh, {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "c");
  maker.Scene({a, b, c});
  for (const auto& bytes : {maker.Text(), maker.Binary()}) {
    torvik::ImportedScene scene = torvik::ReadGltfScene(bytes);
    EXPECT_EQ(scene.instances, 2u);
    const torvik::Model model = torvik::ConvertImportedScene(std::move(scene));
    ASSERT_EQ(model.NumPolyLists(), 1u);  // the default material
    const std::vector<torvik::SURFACE>& triangles = model.PolyList()[0].TriangleIndexList;
    // Two-sided default material: each triangle and its reversed copy.
    ASSERT_EQ(triangles.size(), 6u);
    const std::vector<torvik::VERTEX>& v = model.VertexList();
    // A model's axes are the glTF's with z negated (a left-handed renderer's):
    // the glTF's counter-clockwise front turns clockwise.
    const torvik::SURFACE& first = triangles[0];
    EXPECT_EQ(v[first.p0].x, 0.0f);
    EXPECT_EQ(v[first.p1].y, 1.0f);
    EXPECT_EQ(v[first.p2].x, 1.0f);
    EXPECT_EQ(first.n2, -1.0f);  // facing +z in the glTF: -z in the model
    EXPECT_EQ(v[triangles[2].p2].x, 11.0f);
    // The mirror keeps the face's side.
    EXPECT_EQ(triangles[4].n2, -1.0f);
    EXPECT_EQ(v[triangles[4].p1].x, -1.0f);
  }
}

TEST(GltfReader, StripsAndFansBecomeTrianglesAndPointsAndLinesAreLeftOut) {
  const auto triangles = [](int mode, std::vector<std::uint32_t> indices) {
    GltfMaker maker;
    const int positions = maker.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, 3);
    maker.Scene({maker.Node(maker.Mesh(positions, maker.Indices(indices), -1, mode))});
    torvik::ImportedScene scene = torvik::ReadGltfScene(maker.Text());
    if (scene.scene.meshobjlist.empty()) return std::vector<std::array<float, 6>>{};
    const torvik::H3dsMeshObj& mesh = scene.scene.meshobjlist[0];
    std::vector<std::array<float, 6>> corners;
    for (const torvik::H3dsFace& f : mesh.facelist)
      corners.push_back({mesh.vertlist[f.p0].x, mesh.vertlist[f.p0].z, mesh.vertlist[f.p1].x,
                         mesh.vertlist[f.p1].z, mesh.vertlist[f.p2].x, mesh.vertlist[f.p2].z});
    return corners;
  };
  const auto list = triangles(4, {0, 1, 2, 0, 2, 3});
  ASSERT_EQ(list.size(), 2u);
  // A strip's second triangle turns the other way round; a fan's all share
  // the first corner: both draw the quad as the list does, each triangle
  // with its corners in the same cyclic order.
  const auto same_cycle = [](const std::array<float, 6>& a, const std::array<float, 6>& b) {
    for (int r = 0; r < 3; ++r) {
      bool same = true;
      for (int i = 0; i < 6; ++i)
        same =
            same && a[static_cast<std::size_t>(i)] == b[static_cast<std::size_t>((i + 2 * r) % 6)];
      if (same) return true;
    }
    return false;
  };
  const auto strip = triangles(5, {1, 2, 0, 3});
  const auto fan = triangles(6, {0, 1, 2, 3});
  ASSERT_EQ(strip.size(), 2u);
  ASSERT_EQ(fan.size(), 2u);
  EXPECT_TRUE(same_cycle(strip[0], list[0]) || same_cycle(strip[0], list[1]));
  EXPECT_TRUE(same_cycle(strip[1], list[0]) || same_cycle(strip[1], list[1]));
  EXPECT_TRUE(same_cycle(fan[0], list[0]));
  EXPECT_TRUE(same_cycle(fan[1], list[1]));
  GltfMaker lines;
  const int positions = lines.Floats({0, 0, 0, 1, 0, 0}, 3);
  lines.Scene({lines.Node(lines.Mesh(positions, -1, -1, 1))});
  const torvik::ImportedScene scene = torvik::ReadGltfScene(lines.Text());
  EXPECT_TRUE(scene.scene.meshobjlist.empty());
  ASSERT_EQ(scene.warnings.size(), 1u);
  EXPECT_NE(scene.warnings[0].find("1 primitives of points or lines are left out"),
            std::string::npos);
}

TEST(GltfReader, MaterialsInvertTheExportsConversions) {
  // Every byte colour comes back as the byte the 3DS reader stores
  // (byte / 256) from the float the export writes for it.
  for (int b = 0; b < 256; ++b) {
    const double linear = static_cast<float>(torvik::SrgbToLinear(b / 255.0));
    const torvik::H3dsRGBColor colour = torvik::gltfload::ColourOfLinear({linear, linear, 0});
    ASSERT_TRUE(colour.from_bytes) << b;
    EXPECT_EQ(colour.red, static_cast<float>(b / 256.0)) << b;
    EXPECT_EQ(colour.blue, 0.0f);
  }
  // A colour no byte gives is the float colour whose export it is.
  const torvik::H3dsRGBColor other = torvik::gltfload::ColourOfLinear({0.2, 0.2, 0.2});
  EXPECT_FALSE(other.from_bytes);
  EXPECT_NEAR(torvik::SrgbToLinear(other.red), 0.2, 1e-6);

  GltfMaker maker = OneTriangle(0);
  // The opacity the export writes for 40 % transparency.
  const float opacity = 1 - static_cast<float>(40 * 0.01);
  maker.json["materials"] = {
      {{"name", "Glass"},
       {"pbrMetallicRoughness", {{"baseColorFactor", {1, 1, 1, opacity}}}},
       {"alphaMode", "BLEND"},
       {"doubleSided", true},
       {"extensions", {{"KHR_materials_specular", {{"specularColorFactor", {0, 0, 0}}}}}}}};
  torvik::ImportedScene scene = torvik::ReadGltfScene(maker.Text());
  ASSERT_EQ(scene.scene.material.size(), 1u);
  const torvik::H3dsMat& glass = scene.scene.material[0];
  EXPECT_EQ(glass.name, "Glass");
  // 40 % transparent, as a 3DS file's integer percentage reads.
  EXPECT_EQ(glass.transparency, static_cast<float>(40 * 0.01));
  EXPECT_EQ(glass.alpha, glass.transparency);
  EXPECT_EQ(glass.doublesided, 1);
  EXPECT_EQ(glass.diffuse.red, 255 / 256.0f);
  EXPECT_EQ(glass.specular.red, 0.0f);
  // Opaque without blending: alpha below 1 is ignored, and the BMF's alpha
  // is the reader's for an opaque material.
  maker.json["materials"][0].erase("alphaMode");
  EXPECT_EQ(torvik::ReadGltfScene(maker.Text()).scene.material[0].alpha, 1.0f);
  // The export's default material is the converter's.
  maker.json["materials"][0]["name"] = "QZ_DEFAULT";
  scene = torvik::ReadGltfScene(maker.Text());
  EXPECT_TRUE(scene.scene.material.empty());
  EXPECT_TRUE(scene.scene.defaultmaterialwarning);
}

TEST(GltfReader, TextureTransformIsBakedAndImagesStoredInsideAreNamedForTheirFiles) {
  GltfMaker maker;
  const int positions = maker.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, 3);
  const int uvs = maker.Floats({0, 0, 1, 0, 0, 1}, 2);
  const int mesh = maker.Mesh(positions, maker.Indices({0, 1, 2}), 0);
  maker.json["meshes"][mesh]["primitives"][0]["attributes"]["TEXCOORD_0"] = uvs;
  maker.Scene({maker.Node(mesh)});
  // A 1 x 1 PNG.
  const std::vector<std::uint8_t> png = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
      0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00,
      0x00, 0x90, 0x77, 0x53, 0xDE, 0x00, 0x00, 0x00, 0x0C, 0x49, 0x44, 0x41, 0x54, 0x08,
      0xD7, 0x63, 0xF8, 0xCF, 0xC0, 0x00, 0x00, 0x03, 0x01, 0x01, 0x00, 0x18, 0xDD, 0x8D,
      0xB0, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  maker.json["images"] = {
      {{"bufferView", maker.View(png)}, {"mimeType", "image/png"}, {"name", "C:\\MAPS\\wood"}},
      {{"bufferView", maker.View(png)}, {"mimeType", "image/png"}}};
  maker.json["textures"] = {{{"source", 0}}, {{"source", 1}}};
  maker.json["materials"] = {
      {{"pbrMetallicRoughness",
        {{"baseColorTexture",
          {{"index", 0},
           {"extensions",
            {{"KHR_texture_transform", {{"offset", {0.5, 0}}, {"scale", {2, 2}}}}}}}}}}}};
  const torvik::ImportOptions options{.model_name = "dir/house.glb"};
  torvik::ImportedScene scene = torvik::ReadGltfScene(maker.Binary(), options);
  ASSERT_EQ(scene.images.size(), 1u);
  EXPECT_EQ(scene.images[0].texture_name, "C:\\MAPS\\wood.png");
  EXPECT_EQ(scene.images[0].file_name, "wood.png");
  EXPECT_EQ(scene.images[0].bytes, png);
  EXPECT_EQ(scene.scene.material[0].texture.texturename, "C:\\MAPS\\wood.png");
  // u' = 0.5 + 2 u, and v turned upward: 1 - 2 v.
  const std::vector<torvik::H3dsMap>& uv = scene.scene.meshobjlist[0].maplist;
  EXPECT_EQ(uv[1].u, 2.5f);
  EXPECT_EQ(uv[2].v, -1.0f);
  // An image without a name is named after the model.
  maker.json["materials"][0]["pbrMetallicRoughness"]["baseColorTexture"]["index"] = 1;
  scene = torvik::ReadGltfScene(maker.Binary(), options);
  ASSERT_EQ(scene.images.size(), 1u);
  EXPECT_EQ(scene.images[0].file_name, "house_1.png");
  // Bytes that are no image leave the material untextured, with a warning.
  maker.json["images"][1]["bufferView"] = maker.View({1, 2, 3, 4, 5, 6, 7, 8});
  scene = torvik::ReadGltfScene(maker.Binary(), options);
  EXPECT_TRUE(scene.images.empty());
  EXPECT_TRUE(scene.scene.material[0].texture.texturename.empty());
  ASSERT_FALSE(scene.warnings.empty());
}

TEST(GltfReader, NormalsAreTheConvertersUnlessTheFilesAreAskedFor) {
  // Two triangles folded along x = 0, their shared edge's vertices stored
  // twice with each face's normal, as exporters write hard edges.
  GltfMaker maker;
  const int positions = maker.Floats({0, 0, 0, 0, 1, 0, -1, 0, 1, 0, 0, 0, 1, 0, 1, 0, 1, 0}, 3);
  const float s = std::sqrt(0.5f);
  const int normals = maker.Floats({s, 0, s, s, 0, s, s, 0, s, -s, 0, s, -s, 0, s, -s, 0, s}, 3);
  const int mesh = maker.Mesh(positions, maker.Indices({0, 1, 2, 3, 4, 5}));
  maker.json["meshes"][mesh]["primitives"][0]["attributes"]["NORMAL"] = normals;
  maker.Scene({maker.Node(mesh)});
  // By default the shared edge is welded and smoothed over both faces.
  torvik::Model welded = ModelOf(maker.Text());
  EXPECT_EQ(welded.NumVertex(), 4u);
  for (const torvik::VERTEX& v : welded.VertexList())
    if (v.x == 0) {
      EXPECT_NEAR(v.nx, 0, 1e-6);
    }
  const torvik::Model kept = ModelOf(maker.Text(), {.file_normals = true});
  EXPECT_EQ(kept.NumVertex(), 6u);
  for (const torvik::VERTEX& v : kept.VertexList()) EXPECT_NEAR(std::fabs(v.nx), s, 1e-6);
}

TEST(GltfReader, AMeshPastTheScenesLimitIsSplitWithoutASeam) {
  // A strip of 40000 quads: 80002 vertices, more than a scene mesh holds.
  GltfMaker maker;
  std::vector<float> positions;
  std::vector<std::uint32_t> indices;
  constexpr std::uint32_t kQuads = 40000;
  for (std::uint32_t i = 0; i <= kQuads; ++i) {
    const float x = static_cast<float>(i);
    const float y = static_cast<float>(i % 2) * 0.5f;
    positions.insert(positions.end(), {x, y, 0, x, y, 1});
  }
  for (std::uint32_t i = 0; i < kQuads; ++i)
    indices.insert(indices.end(), {2 * i, 2 * i + 2, 2 * i + 1, 2 * i + 1, 2 * i + 2, 2 * i + 3});
  maker.Scene({maker.Node(maker.Mesh(maker.Floats(positions, 3), maker.Indices(indices)))});
  const torvik::ImportedScene scene = torvik::ReadGltfScene(maker.Binary());
  ASSERT_GT(scene.scene.meshobjlist.size(), 1u);
  for (const torvik::H3dsMeshObj& mesh : scene.scene.meshobjlist)
    EXPECT_LE(mesh.vertlist.size(), 65535u);
  // Every copy of a vertex has the normal of the whole mesh's vertex.
  torvik::Model model = torvik::ConvertImportedScene(torvik::ImportedScene(scene));
  std::map<std::tuple<float, float, float>, std::array<float, 3>> normal_at;
  for (const torvik::VERTEX& v : model.VertexList()) {
    const auto [known, added] =
        normal_at.try_emplace({v.x, v.y, v.z}, std::array{v.nx, v.ny, v.nz});
    if (!added) {
      EXPECT_EQ(known->second, (std::array{v.nx, v.ny, v.nz}));
    }
  }
  EXPECT_EQ(normal_at.size(), 2 * (kQuads + 1));
  EXPECT_EQ(model.PolyList()[0].NumTriangles(), 2 * 2 * kQuads);
}

TEST(GltfReader, InstancesPastTheBudgetFailBeforeAnythingIsDrawn) {
  GltfMaker maker = OneTriangle();
  const int mesh = 0;
  std::vector<int> roots;
  for (int i = 0; i < 5; ++i) roots.push_back(maker.Node(mesh));
  maker.Scene(roots);
  // 5 triangles and 15 vertices (the accessors' counts) drawn.
  EXPECT_NO_THROW(torvik::ReadGltfScene(maker.Text(), {.max_placed_faces = 15}));
  try {
    torvik::ReadGltfScene(maker.Text(), {.max_placed_faces = 10});
    ADD_FAILURE() << "read";
  } catch (const torvik::InstancesTooLarge& error) {
    EXPECT_STREQ(error.counted, "vertices");
    EXPECT_EQ(error.count, 15u);
    EXPECT_EQ(error.limit, 10u);
  }
  // Each mesh drawn once always passes.
  EXPECT_NO_THROW(torvik::ReadGltfScene(OneTriangle().Text(), {.max_placed_faces = 0}));
}

TEST(GltfReader, DamagedFilesAreRefusedSayingWhere) {
  const auto expect = [](const std::vector<std::uint8_t>& bytes, const std::string& where,
                         const std::string& what) {
    const std::string message = Refusal(bytes);
    EXPECT_NE(message.find(where.empty() ? "glTF:" : "glTF " + where), std::string::npos)
        << message;
    EXPECT_NE(message.find(what), std::string::npos) << message;
  };
  GltfMaker maker = OneTriangle();
  maker.json["accessors"][0]["count"] = 4;
  expect(maker.Text(), "/accessors/0:", "do not fit in the 36 bytes of buffer view 0");
  maker = OneTriangle();
  maker.json["accessors"][0]["count"] = 0x40000000;
  expect(maker.Binary(), "/accessors/0:", "do not fit");
  maker = OneTriangle();
  maker.json["bufferViews"][0]["byteStride"] = 4;
  expect(maker.Text(), "/bufferViews/0:", "less than the 12 bytes of an element");
  maker = OneTriangle();
  maker.json["bufferViews"][0]["byteOffset"] = 1000;
  expect(maker.Text(), "/bufferViews/0:", "past the end of buffer 0");
  maker = OneTriangle();
  maker.json["meshes"][0]["primitives"][0]["attributes"]["POSITION"] = 7;
  expect(maker.Text(), "/meshes/0/primitives/0/attributes/POSITION:", "accessor 7");
  maker = OneTriangle();
  maker.json["meshes"][0]["primitives"][0]["attributes"].erase("POSITION");
  expect(maker.Text(), "/meshes/0/primitives/0/attributes:", "no POSITION");
  maker = OneTriangle();
  maker.json["meshes"][0]["primitives"][0]["indices"] = 0;
  expect(maker.Text(), "/meshes/0/primitives/0/indices:", "accessor 0 is no indices");
  GltfMaker far;
  const int positions = far.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, 3);
  far.Scene({far.Node(far.Mesh(positions, far.Indices({0, 1, 9})))});
  expect(far.Text(), "/meshes/0/primitives/0/indices:", "names vertex 9 of 3");
  maker = OneTriangle();
  maker.json["nodes"][0]["children"] = {0};
  expect(maker.Text(), "/nodes/0:", "form no tree");
  maker = OneTriangle();
  maker.json["accessors"][0]["sparse"] = {{"count", 1},
                                          {"indices", {{"bufferView", 1}, {"componentType", 5125}}},
                                          {"values", {{"bufferView", 0}}}};
  expect(maker.Text(), "/accessors/0:", "sparse accessors are not read");
  maker = OneTriangle();
  maker.json["images"] = {{{"bufferView", 0}, {"mimeType", "image/png"}}};
  maker.json["bufferViews"][0]["byteLength"] = 4096;
  expect(maker.Text(), "/images/0:", "past the end of buffer 0");
  maker = OneTriangle();
  maker.json["asset"]["version"] = "1.0";
  expect(maker.Text(), "/asset/version:", "only glTF 2 is read");
  std::string deep = "{\"asset\":{\"version\":\"2.0\"},\"extras\":";
  for (int i = 0; i < 100000; ++i) deep += "[";
  expect({deep.begin(), deep.end()}, "", "nests deeper than 64 levels");
  const std::string huge = "{\"asset\":{\"version\":\"2.0\"},\"extras\":2e515}";
  expect({huge.begin(), huge.end()}, "", "number overflow");
  std::vector<std::uint8_t> glb = OneTriangle().Binary();
  glb[8] = 0xFF;
  expect(glb, "byte 8:", "the file has");
  glb = OneTriangle().Binary();
  glb.resize(18);
  expect(glb, "byte 0:", "take 20 bytes");
  // The BIN chunk, read where it lies, must hold what buffer 0 declares.
  const auto set_u32 = [](std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = (value >> (8 * i)) & 0xFF;
  };
  glb = OneTriangle().Binary();
  const std::uint32_t json_length = glb[12] | (glb[13] << 8) | (glb[14] << 16) | (glb[15] << 24);
  const std::size_t bin_header = 20 + std::size_t{json_length};
  set_u32(glb, bin_header, static_cast<std::uint32_t>(glb.size()));
  expect(glb, "byte " + std::to_string(bin_header) + ":", "the BIN chunk of");
  glb = OneTriangle().Binary();
  set_u32(glb, bin_header, 4);
  expect(glb, "/buffers/0/byteLength:", "more than the 4 bytes of the BIN chunk");
  glb = OneTriangle().Binary();
  set_u32(glb, bin_header + 4, 0x12345678);
  expect(glb, "/buffers/0:", "no BIN chunk");
  GltfMaker bare;
  bare.json["buffers"] = {{{"byteLength", 4}}};
  expect(bare.Text(), "/buffers/0:", "a .gltf's buffers need");
  // Every cut of a valid file fails cleanly or reads.
  const std::vector<std::uint8_t> whole = OneTriangle().Binary();
  for (std::size_t size = 0; size < whole.size(); ++size)
    EXPECT_NO_FATAL_FAILURE(Refusal({whole.begin(), whole.begin() + static_cast<long>(size)}));
}

TEST(GltfReader, BuffersAreReadFromTheModelsFolderOnly) {
  GltfMaker maker = OneTriangle();
  std::vector<std::string> asked;
  const torvik::ImportOptions options{.files = [&](const std::string& path, std::uint64_t) {
    asked.push_back(path);
    return maker.buffer();
  }};
  nlohmann::json json = maker.json;
  json["buffers"] = {{{"byteLength", maker.buffer().size()}, {"uri", "data%20files/mesh.bin"}}};
  std::string text = json.dump();
  torvik::ImportedScene scene =
      torvik::ReadGltfScene(std::vector<std::uint8_t>(text.begin(), text.end()), options);
  EXPECT_EQ(asked, std::vector<std::string>{"data files/mesh.bin"});
  EXPECT_EQ(scene.scene.meshobjlist.size(), 1u);
  for (const char* uri : {"../mesh.bin", "/etc/passwd", "C:/mesh.bin", "a/../../mesh.bin",
                          "file:///etc/passwd", "$(touch pwned).bin"}) {
    json["buffers"][0]["uri"] = uri;
    text = json.dump();
    asked.clear();
    const std::string message =
        Refusal(std::vector<std::uint8_t>(text.begin(), text.end()), options);
    if (std::string(uri).find('$') == std::string::npos) {
      EXPECT_TRUE(asked.empty()) << uri;
      EXPECT_NE(message.find("not a path within the model's folder"), std::string::npos) << message;
    } else {
      // Taken as the plain name it is, never expanded by a shell.
      EXPECT_EQ(asked, std::vector<std::string>{"$(touch pwned).bin"});
    }
  }
}

}  // namespace
