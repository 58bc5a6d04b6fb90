// A model comes back as itself: 3DS -> glTF (3ds2bmf --gltf) -> BMF gives
// the blocks, materials, texture names and triangles of the 3DS file's
// --keyframer --keep-file-winding BMF; BMF -> OBJ (bmftool obj) -> BMF
// gives the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "3dsload/scene_mesh_stream.h"
#include "keyframer_demo.h"
#include "materials_demo.h"
#include "placement_scenes.h"
#include "png_image.h"
#include "presets.h"
#include "test_support.h"
#include "threeds_builder.h"
#include "torvik32c/bmf.h"
#include "torvik32c/export_conventions.h"
#include "torvik32c/gltf_import.h"
#include "torvik32c/reports.h"

namespace {

using testing_support::TempDir;

// The corpus, the samples and generated models, written into `dir`.
std::vector<std::string> Models(const TempDir& dir) {
  std::vector<std::string> models = testing_support::CorpusFiles();
  for (const char* sample : {"sample.3ds", "smoothing.3ds", "gate.3ds", "crate.3ds"})
    models.push_back(std::string(TORVIK_SAMPLES_DIR) + "/" + sample);
  for (const char* preset : {"small", "medium"}) {
    models.push_back(dir.file(std::string(preset) + ".3ds"));
    testing_support::WriteFile(models.back(), t3ds::BuildPreset(preset));
  }
  const std::pair<const char*, t3ds::Scene> scenes[] = {{"placement.3ds", t3ds::PlacementTrial()},
                                                        {"inward.3ds", t3ds::InwardAndOutward()}};
  for (const auto& [name, scene] : scenes) {
    models.push_back(dir.file(name));
    testing_support::WriteFile(models.back(),
                               t3ds::BuildFile(scene.materials, scene.meshes, scene.nodes));
  }
  if (t3ds::SaveMaterialsDemo(dir.path().string())) models.push_back(dir.file("materials.3ds"));
  return models;
}

// The 3DS file's model as --keyframer --keep-file-winding converts it.
torvik::Model AsAuthored(const std::string& path, torvik::H3dsScene& scene) {
  scene = torvik::HRead3dsScene(testing_support::ReadFile(path),
                                {.keep_file_winding = true, .keyframer = true});
  torvik::H3dsScene copy = scene;
  return torvik::convert_to_outgl(std::move(copy), nullptr, {.keyframer = true});
}

// Whether the glTF export draws the material's texture as it is (not an
// image made of it and the opacity map, which takes both names), with its
// texture coordinates untransformed.
bool PlainTexture(const torvik::H3dsMat& mat) {
  const torvik::H3dsTextureMap& map = mat.Map(torvik::MapKind::texture);
  return !mat.Map(torvik::MapKind::opacity).Used() && map.percent == 1 &&
         (map.tiling & torvik::kMapNegative) == 0 && map.u_scale == 1 && map.v_scale == 1 &&
         map.u_offset == 0 && map.v_offset == 0 && map.rotation == 0;
}

// Whether triangle `b` is triangle `a` within `tolerance`, its corners in
// the same cyclic order.
bool SameTriangle(const std::array<const torvik::VERTEX*, 3>& a,
                  const std::array<const torvik::VERTEX*, 3>& b, double tolerance, bool uvs) {
  for (int r = 0; r < 3; ++r) {
    bool same = true;
    for (int c = 0; c < 3 && same; ++c) {
      const torvik::VERTEX& p = *a[static_cast<std::size_t>(c)];
      const torvik::VERTEX& q = *b[static_cast<std::size_t>((c + r) % 3)];
      same = std::fabs(p.x - q.x) <= tolerance && std::fabs(p.y - q.y) <= tolerance &&
             std::fabs(p.z - q.z) <= tolerance &&
             (!uvs || (std::fabs(p.u - q.u) <= 1e-6 && std::fabs(p.v - q.v) <= 1e-6));
    }
    if (same) return true;
  }
  return false;
}

double Diagonal(const torvik::Model& model) {
  std::array<double, 3> low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (const torvik::VERTEX& v : model.VertexList()) {
    const double p[3] = {v.x, v.y, v.z};
    for (std::size_t i = 0; i < 3; ++i)
      if (std::isfinite(p[i])) low[i] = std::min(low[i], p[i]), high[i] = std::max(high[i], p[i]);
  }
  return std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
}

// Compares the read-back model with the original, material by material.
void ExpectSameModel(const torvik::Model& original, const torvik::H3dsScene& scene,
                     const torvik::Model& back, const std::string& what) {
  const double tolerance = 1e-6 * Diagonal(original);
  std::map<std::string, const torvik::POLYGONLIST*> read;
  for (const torvik::POLYGONLIST& list : back.PolyList())
    if (list.NumTriangles() > 0) read[list.name] = &list;
  std::size_t compared = 0;
  for (const torvik::POLYGONLIST& list : original.PolyList()) {
    if (list.NumTriangles() == 0) continue;
    const std::string name = torvik::NameUtf8(list.name);
    const std::string at = what + ": material " + name;
    const auto found = read.find(name);
    ASSERT_NE(found, read.end()) << at;
    const torvik::POLYGONLIST& other = *found->second;
    ++compared;
    EXPECT_EQ(other.doublesided, list.doublesided) << at;
    ASSERT_EQ(other.NumTriangles(), list.NumTriangles()) << at;
    const auto mat = std::find_if(scene.material.begin(), scene.material.end(),
                                  [&](const torvik::H3dsMat& m) { return m.name == list.name; });
    const bool plain = mat == scene.material.end() || PlainTexture(*mat);
    if (plain) {
      EXPECT_EQ(other.texturename, torvik::NameUtf8(list.texturename)) << at;
    }
    if (list.texturename.empty()) {
      EXPECT_EQ(other.diffuse.red, list.diffuse.red) << at;
      EXPECT_EQ(other.diffuse.green, list.diffuse.green) << at;
      EXPECT_EQ(other.diffuse.blue, list.diffuse.blue) << at;
    }
    if (mat == scene.material.end() || !mat->Map(torvik::MapKind::opacity).Used()) {
      EXPECT_EQ(torvik::OpacityOf(other.diffuse.alpha), torvik::OpacityOf(list.diffuse.alpha))
          << at;
    }
    const auto& v = original.VertexList();
    const auto& w = back.VertexList();
    const bool uvs = plain && !list.texturename.empty();
    for (std::size_t t = 0; t < list.NumTriangles(); ++t) {
      const torvik::SURFACE& s = list.TriangleIndexList[t];
      const torvik::SURFACE& u = other.TriangleIndexList[t];
      ASSERT_TRUE(SameTriangle({&v[s.p0], &v[s.p1], &v[s.p2]}, {&w[u.p0], &w[u.p1], &w[u.p2]},
                               tolerance, uvs))
          << at << " triangle " << t;
    }
  }
  EXPECT_EQ(compared, read.size()) << what;
}

// A PNG of its own for every texture name the scene stores, so that the
// glTF embeds each under its name: "--texture NAME=FILE ..." for 3ds2bmf.
std::string TextureFiles(const torvik::H3dsScene& scene, const TempDir& dir,
                         const std::string& stem) {
  std::string options;
  std::size_t n = 0;
  for (const torvik::H3dsMat& mat : scene.material) {
    if (mat.texture.texturename.empty()) continue;
    const std::string file = dir.file(stem + "_texture" + std::to_string(n++) + ".png");
    t3ds::RgbImage image(2, 2);
    testing_support::WriteFile(file, t3ds::PngBytes(image));
    options += " --texture " + testing_support::ShellQuoted(mat.texture.texturename + "=" + file);
  }
  return options;
}

void Validate(const std::vector<std::string>& files, const TempDir& dir) {
  const std::filesystem::path validator =
      std::filesystem::path(TORVIK_GLTF_VALIDATOR_DIR) / "node_modules" / "gltf-validator";
  if (std::string(TORVIK_NODE).empty() || !std::filesystem::exists(validator)) return;
  std::string command =
      "GLTF_VALIDATOR_DIR=" + testing_support::ShellQuoted(TORVIK_GLTF_VALIDATOR_DIR) + " " +
      TORVIK_NODE + " " + TORVIK_VALIDATE_GLTF;
  for (const std::string& file : files)
    command.append(1, ' ').append(testing_support::ShellQuoted(file));
  const testing_support::ToolRun run = testing_support::RunCommand(command, dir);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  for (const std::string& file : files)
    EXPECT_NE(run.out.find(file + ": 0 errors,"), std::string::npos) << run.out;
}

TEST(ImportRoundTrip, ThreeDsThroughGltfComesBackAsItself) {
  const TempDir dir;
  std::vector<std::string> written;
  std::size_t streams = 0;
  for (const std::string& model : Models(dir)) {
    torvik::H3dsScene scene;
    torvik::Model original;
    try {
      original = AsAuthored(model, scene);
    } catch (const torvik::Error&) {
      continue;  // a corpus file the converter refuses
    }
    const std::string stem = std::filesystem::path(model).stem().string();
    const std::string bmf = dir.file(stem + ".from3ds.bmf");
    const testing_support::ToolRun run = testing_support::RunCommand(
        std::string(TORVIK_3DS2BMF) + " -q --gltf" + TextureFiles(scene, dir, stem) + " -o " +
            testing_support::ShellQuoted(bmf) + " " + testing_support::ShellQuoted(model),
        dir);
    ASSERT_EQ(run.status, 0) << model << run.err;
    const std::string glb = dir.file(stem + ".from3ds.glb");
    written.push_back(glb);
    const std::vector<std::uint8_t> bytes = testing_support::ReadFile(glb);
    torvik::ImportedScene imported =
        torvik::ReadGltfScene(bytes, {.files = torvik::FilesBeside(glb), .model_name = glb});
    const torvik::Model back = torvik::ConvertImportedScene(std::move(imported));
    ExpectSameModel(original, scene, back, model);
    // The meshes drawn as the conversion takes them give the same model,
    // with and without the outward orientation, and what they were made
    // from is let go once, when the last is taken.
    for (const bool outward : {false, true}) {
      torvik::ImportedScene streamed = torvik::ReadGltfScene(
          bytes, {.files = torvik::FilesBeside(glb), .model_name = glb, .stream_meshes = true});
      std::size_t let_go = 0;
      const bool stream = streamed.meshes != nullptr;
      if (stream) streamed.meshes->after_last = [&let_go] { ++let_go; };
      streams += stream;
      torvik::ImportedScene whole =
          torvik::ReadGltfScene(bytes, {.files = torvik::FilesBeside(glb), .model_name = glb});
      const torvik::ConvertOptions options{.orient_outward = outward};
      EXPECT_EQ(
          torvik::OutGLBMFBytes(
              torvik::ConvertImportedScene(std::move(streamed), nullptr, options)),
          torvik::OutGLBMFBytes(torvik::ConvertImportedScene(std::move(whole), nullptr, options)))
          << model;
      EXPECT_EQ(let_go, stream ? 1u : 0u) << model;
    }
  }
  EXPECT_GT(streams, 0u);
  Validate(written, dir);
}

TEST(ImportRoundTrip, BmfThroughObjGivesTheSameBytes) {
  const TempDir dir;
  for (const std::string& model : Models(dir)) {
    const std::string stem = std::filesystem::path(model).stem().string();
    const std::string bmf = dir.file(stem + ".bmf"), obj = dir.file(stem + ".obj");
    const std::string again = dir.file(stem + ".again.bmf");
    const auto run = [&](const std::string& command) {
      return testing_support::RunCommand(command, dir).status;
    };
    if (run(std::string(TORVIK_3DS2BMF) + " -q -o " + testing_support::ShellQuoted(bmf) + " " +
            testing_support::ShellQuoted(model)) != 0)
      continue;  // a corpus file the converter refuses
    ASSERT_EQ(run(std::string(TORVIK_BMFTOOL) + " obj -o " + testing_support::ShellQuoted(obj) +
                  " " + testing_support::ShellQuoted(bmf)),
              0)
        << model;
    ASSERT_EQ(run(std::string(TORVIK_3DS2BMF) + " -q --file-normals -o " +
                  testing_support::ShellQuoted(again) + " " + testing_support::ShellQuoted(obj)),
              0)
        << model;
    const std::vector<std::uint8_t> first = testing_support::ReadFile(bmf);
    const std::vector<std::uint8_t> second = testing_support::ReadFile(again);
    // The real models store a transparency chunk of 0 % for an opaque
    // material (alpha 1, which the reader of an MTL's "d 1" gives too); the
    // generated ones store none (alpha 0): both mean opaque.
    if (model.find(TORVIK_CORPUS_DIR) == 0) {
      EXPECT_TRUE(first == second) << model;
      continue;
    }
    const testing_support::BmfFile a = testing_support::ParseBmf(first);
    const testing_support::BmfFile b = testing_support::ParseBmf(second);
    ASSERT_EQ(a.blocks.size(), b.blocks.size()) << model;
    for (std::size_t i = 0; i < a.blocks.size(); ++i) {
      const torvik::BmfBlock& x = a.blocks[i];
      const torvik::BmfBlock& y = b.blocks[i];
      // The MTL names the texture's file as found, else the stored name's
      // last component.
      EXPECT_EQ(y.TextureName().empty(), x.TextureName().empty()) << model;
      for (const auto& [p, q] : {std::pair{x.ambient, y.ambient}, std::pair{x.diffuse, y.diffuse},
                                 std::pair{x.specular, y.specular}}) {
        EXPECT_EQ(std::tie(p.red, p.green, p.blue), std::tie(q.red, q.green, q.blue)) << model;
        EXPECT_EQ(torvik::OpacityOf(p.alpha), torvik::OpacityOf(q.alpha)) << model;
      }
      ASSERT_EQ(x.vertices.size(), y.vertices.size()) << model;
      EXPECT_EQ(std::memcmp(x.vertices.data(), y.vertices.data(),
                            x.vertices.size() * sizeof(torvik::BMF_UNVERTEX)),
                0)
          << model;
      ASSERT_EQ(x.triangles.size(), y.triangles.size()) << model;
      EXPECT_EQ(std::memcmp(x.triangles.data(), y.triangles.data(),
                            x.triangles.size() * sizeof(torvik::BMF_SURFACE)),
                0)
          << model;
    }
  }
}

}  // namespace
