// glTF and OBJ files as Blender 3.4 writes them (Debian's blender; skipped
// without it): a scene of a red cube and its mirrored linked duplicate, a
// smooth textured sphere and a half-transparent plane, exported by
// tests/import/blender/make_models.py, convert and draw.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>

#include "test_support.h"
#include "torvik32c/bmf_reader.h"

namespace {

using testing_support::ShellQuoted;
using testing_support::TempDir;

struct Bounds {
  std::array<float, 3> low{HUGE_VALF, HUGE_VALF, HUGE_VALF};
  std::array<float, 3> high{-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
};

Bounds BoundsOf(const torvik::BmfFile& file) {
  Bounds bounds;
  for (const torvik::BmfBlock& block : file.blocks)
    for (const torvik::BMF_UNVERTEX& v : block.vertices) {
      const std::array<float, 3> p{v.x, v.y, v.z};
      for (std::size_t i = 0; i < 3; ++i) {
        bounds.low[i] = std::min(bounds.low[i], p[i]);
        bounds.high[i] = std::max(bounds.high[i], p[i]);
      }
    }
  return bounds;
}

std::size_t Triangles(const torvik::BmfFile& file) {
  std::size_t count = 0;
  for (const torvik::BmfBlock& block : file.blocks) count += block.triangles.size();
  return count;
}

TEST(BlenderModels, ConvertAndDrawAsTheArtistMadeThem) {
  const TempDir dir;
  if (testing_support::RunCommand("command -v blender", dir).status != 0)
    GTEST_SKIP() << "Blender is not installed (scripts/setup-blender.sh installs it)";
  const std::string models = dir.file("models");
  const testing_support::ToolRun made = testing_support::RunCommand(
      "blender -b --factory-startup --python " +
          ShellQuoted(std::string(TORVIK_SOURCE_DIR) + "/tests/import/blender/make_models.py") +
          " -- " + ShellQuoted(models) + " >/dev/null",
      dir);
  ASSERT_EQ(made.status, 0) << made.err;
  std::filesystem::create_directory(dir.file("out"));
  std::array<torvik::BmfFile, 3> files;
  const std::array<const char*, 3> names = {"scene.glb", "scene.gltf", "scene.obj"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string bmf = dir.file("out/" + std::to_string(i) + ".bmf");
    const std::string png = dir.file("out/" + std::to_string(i) + ".png");
    const testing_support::ToolRun run = testing_support::RunCommand(
        std::string(TORVIK_3DS2BMF) + " -q -o " + ShellQuoted(bmf) + " " +
            ShellQuoted(models + "/" + names[i]) + " && " + TORVIK_BMFTOOL + " png -o " +
            ShellQuoted(png) + " " + ShellQuoted(bmf),
        dir);
    ASSERT_EQ(run.status, 0) << names[i] << run.err;
    EXPECT_GT(std::filesystem::file_size(png), 1000u) << names[i];
    files[i] = torvik::ReadBmfFile(bmf);
    ASSERT_EQ(files[i].blocks.size(), 3u) << names[i];
  }
  // The binary and the separate glTF are one scene: the same bytes.
  EXPECT_EQ(testing_support::ReadFile(dir.file("out/0.bmf")),
            testing_support::ReadFile(dir.file("out/1.bmf")));
  // Two cubes (12 triangles each), a sphere of 32 x 16 (960) and a plane (2):
  // Blender's materials are two-sided in glTF, doubled in the BMF; an OBJ has
  // no two-sided materials.
  EXPECT_EQ(Triangles(files[0]), 2u * (2 * 12 + 960 + 2));
  EXPECT_EQ(Triangles(files[2]), 2u * 12 + 960 + 2);
  // The glTF's image was written beside the BMF, and the OBJ names its file.
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("out/checker.png")));
  bool textured = false;
  for (const torvik::BmfBlock& block : files[2].blocks)
    textured = textured || block.TextureName() == "checker.png";
  EXPECT_TRUE(textured);
  // The same place in both formats' axes: from the mirrored cube at y = -4
  // (Blender's z up) to the sphere at x = 4.7, the plane 10 x 10.
  const Bounds gltf = BoundsOf(files[0]), obj = BoundsOf(files[2]);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(gltf.low[i], obj.low[i], 1e-4) << i;
    EXPECT_NEAR(gltf.high[i], obj.high[i], 1e-4) << i;
  }
  EXPECT_NEAR(gltf.low[0], -5, 1e-5);
  EXPECT_NEAR(gltf.high[0], 5, 1e-5);
  EXPECT_NEAR(gltf.high[1], 2.4, 1e-5);  // the sphere's top, y up in the model
  // Blender's y is the model's z: BMF's axes are a 3DS file's, y and z
  // exchanged, as Blender's are.
  EXPECT_NEAR(gltf.low[2], -5, 1e-5);
}

}  // namespace
