// A glTF's instances are drawn on several threads, into a whole scene or as
// the conversion takes them: the model is the one a single thread gives,
// and a damaged file reports the fault of the first instance that has one,
// whichever thread met it.  Runs under ThreadSanitizer in the preset tsan.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "gltf_maker.h"
#include "torvik32c/bmf.h"
#include "torvik32c/gltf_import.h"

namespace {

using t3ds::GltfMaker;

constexpr std::uint32_t kSide = 250;  // a grid of 62,500 vertices

struct Grid {
  int positions;
  std::vector<std::uint32_t> top, bottom;  // its triangles, in two halves
};

Grid AddGrid(GltfMaker& maker) {
  Grid grid;
  std::vector<float> positions;
  for (std::uint32_t i = 0; i < kSide * kSide; ++i)
    positions.insert(positions.end(), {static_cast<float>(i % kSide), static_cast<float>(i / kSide),
                                       static_cast<float>(i % 7)});
  for (std::uint32_t y = 0; y + 1 < kSide; ++y)
    for (std::uint32_t x = 0; x + 1 < kSide; ++x) {
      const std::uint32_t i = y * kSide + x;
      std::vector<std::uint32_t>& half = y < kSide / 2 ? grid.top : grid.bottom;
      half.insert(half.end(), {i, i + 1, i + kSide, i + 1, i + kSide + 1, i + kSide});
    }
  grid.positions = maker.Floats(positions, 3);
  return grid;
}

void AddPrimitive(GltfMaker& maker, int mesh, int positions, int indices, int material) {
  nlohmann::json primitive = {{"attributes", {{"POSITION", positions}}}, {"indices", indices}};
  if (material >= 0) primitive["material"] = material;
  maker.json["meshes"][mesh]["primitives"].push_back(primitive);
}

// Eight nodes drawing `meshes` in turn, one of them mirrored.
void EightNodes(GltfMaker& maker, const std::vector<int>& meshes) {
  std::vector<int> roots;
  for (int n = 0; n < 8; ++n)
    roots.push_back(
        maker.Node(meshes[static_cast<std::size_t>(n) % meshes.size()],
                   {n == 3 ? -1.0 : 1.0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 100.0 * n, 0, 0, 1},
                   std::to_string(n)));
  maker.Scene(roots);
}

std::vector<torvik::byte> Bmf(const std::vector<std::uint8_t>& glb,
                              const torvik::ImportOptions& options) {
  return torvik::OutGLBMFBytes(torvik::ConvertImportedScene(torvik::ReadGltfScene(glb, options)));
}

// The message of the failure reading and converting `glb`.
std::string Failure(const std::vector<std::uint8_t>& glb, const torvik::ImportOptions& options) {
  try {
    Bmf(glb, options);
  } catch (const torvik::Error& error) {
    return error.what();
  }
  return "converted";
}

TEST(Threads, GltfInstancesAreDrawnAlongsideAndTakenInOrder) {
  GltfMaker maker;
  maker.json["materials"] = nlohmann::json::array({{{"name", "top"}}, {{"name", "bottom"}}});
  const Grid grid = AddGrid(maker);
  const int top = maker.Indices(grid.top), bottom = maker.Indices(grid.bottom);
  // Two materials: more faces than a scene mesh holds, so split in two.
  const int split = maker.Mesh(grid.positions, top, 0);
  AddPrimitive(maker, split, grid.positions, bottom, 1);
  const int whole = maker.Mesh(grid.positions, top, 0);

  // Into a whole scene, each mesh as one thread draws it.
  EightNodes(maker, {split, whole});
  const std::vector<std::uint8_t> both = maker.Binary();
  const torvik::ImportedScene one = torvik::ReadGltfScene(both, {.threads = 1});
  const torvik::ImportedScene four = torvik::ReadGltfScene(both, {.threads = 4});
  EXPECT_EQ(four.instances, 6u);
  ASSERT_EQ(one.scene.meshobjlist.size(), 12u);
  ASSERT_EQ(four.scene.meshobjlist.size(), 12u);
  const auto same = [](const auto& a, const auto& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
  };
  for (std::size_t m = 0; m < 12; ++m) {
    const torvik::H3dsMeshObj& a = one.scene.meshobjlist[m];
    const torvik::H3dsMeshObj& b = four.scene.meshobjlist[m];
    EXPECT_TRUE(same(a.vertlist, b.vertlist) && same(a.maplist, b.maplist) &&
                same(a.facelist, b.facelist))
        << m;
    ASSERT_EQ(a.bindings.size(), b.bindings.size());
    for (std::size_t k = 0; k < a.bindings.size(); ++k)
      EXPECT_TRUE(a.bindings[k].name == b.bindings[k].name &&
                  same(a.bindings[k].faces, b.bindings[k].faces));
  }
  EXPECT_EQ(one.scene.meshobjlist[9].vertlist[1].x, 299.0f);  // mirrored, at x = 300

  // Meshes that each fit a scene mesh come as the conversion takes them,
  // each taking the lists of one converted before it, larger or smaller:
  // the BMF of one thread and a whole scene.
  const int corner = maker.Mesh(
      grid.positions,
      maker.Indices(std::vector<std::uint32_t>(grid.top.begin(), grid.top.begin() + 300)), 1);
  EightNodes(maker, {whole, corner, corner});
  const std::vector<std::uint8_t> wholes = maker.Binary();
  torvik::ImportedScene streamed =
      torvik::ReadGltfScene(wholes, {.threads = 4, .stream_meshes = true});
  ASSERT_NE(streamed.meshes, nullptr);
  EXPECT_TRUE(torvik::OutGLBMFBytes(torvik::ConvertImportedScene(std::move(streamed))) ==
              Bmf(wholes, {.threads = 1}));

  // Cancelled while the meshes are drawn: the conversion stops, and the
  // drawing threads with it.
  std::atomic<bool> cancel{false};
  torvik::ImportedScene cancelled =
      torvik::ReadGltfScene(wholes, {.cancel = &cancel, .threads = 4, .stream_meshes = true});
  cancel = true;
  EXPECT_THROW(torvik::ConvertImportedScene(std::move(cancelled)), torvik::Cancelled);

  // A mesh that fails at its end, before one that fails at once and three
  // good ones (enough vertices for two threads): the first mesh's fault is
  // reported, whole or streamed.
  const int slow = maker.Mesh(grid.positions, top, 0);
  AddPrimitive(maker, slow, grid.positions, maker.Indices({0, 1, kSide * kSide}), -1);
  const int quick =
      maker.Mesh(maker.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, 3), maker.Indices({0, 1, 9}));
  maker.Scene({maker.Node(slow), maker.Node(quick), maker.Node(whole), maker.Node(whole),
               maker.Node(whole)});
  const std::string first = "glTF /meshes/" + std::to_string(slow) +
                            "/primitives/1/indices: element 2 names vertex 62500 of 62500";
  for (const std::size_t threads : {1, 4})
    for (const bool stream : {false, true})
      EXPECT_EQ(Failure(maker.Binary(), {.threads = threads, .stream_meshes = stream}), first)
          << threads << (stream ? " streamed" : "");
}

}  // namespace
