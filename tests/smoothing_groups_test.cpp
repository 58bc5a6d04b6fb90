// Hard edges by smoothing groups, an option that leaves the default alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "shapes.h"
#include "test_support.h"
#include "threeds_builder.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::BmfFile;
using testing_support::ParseBmf;

Bytes ConvertBySmoothingGroups(const Bytes& file) {
  torvik::H3dsScene scene = torvik::HRead3dsScene(file, {.smoothing_groups = true});
  return torvik::OutGLBMFBytes(
      torvik::convert_to_outgl(std::move(scene), nullptr, {.smoothing_groups = true}));
}

t3ds::Mesh Cube(std::vector<std::uint32_t> masks_per_side) {
  t3ds::Mesh cube = t3ds::Box("Cube", {-1, -1, -1}, {1, 1, 1});
  for (std::uint32_t mask : masks_per_side) cube.smoothing.insert(cube.smoothing.end(), 2, mask);
  t3ds::AssignAll(cube, "Grey");
  return cube;
}

Bytes CubeFile(const std::vector<std::uint32_t>& masks) {
  const t3ds::Material grey{"Grey",
                            t3ds::Color{0.5f, 0.5f, 0.5f},
                            t3ds::Color{0.5f, 0.5f, 0.5f},
                            t3ds::Color{1, 1, 1},
                            {},
                            false,
                            ""};
  return t3ds::BuildFile({grey}, {Cube(masks)});
}

TEST(SmoothingGroups, CubeWithSixGroupsHasFlatSides) {
  const BmfFile file = ParseBmf(ConvertBySmoothingGroups(CubeFile({1, 2, 4, 8, 16, 32})));
  ASSERT_EQ(file.blocks.size(), 1u);
  const auto& block = file.blocks[0];
  EXPECT_EQ(block.vertices.size(), 24u);
  for (const auto& v : block.vertices) {
    const float components[3] = {std::fabs(v.i), std::fabs(v.j), std::fabs(v.k)};
    EXPECT_EQ(std::count(components, components + 3, 1.0f), 1);
    EXPECT_EQ(std::count(components, components + 3, 0.0f), 2);
  }
  // A face with mask 0 keeps its face normal too.
  EXPECT_EQ(
      ParseBmf(ConvertBySmoothingGroups(CubeFile({0, 0, 0, 0, 0, 0}))).blocks[0].vertices.size(),
      24u);
}

TEST(SmoothingGroups, OneGroupOrNoChunkGivesTheDefaultBytes) {
  const Bytes one_group = CubeFile({1, 1, 3, 1, 5, 1});
  EXPECT_EQ(ConvertBySmoothingGroups(one_group), testing_support::Convert(one_group));
  const Bytes no_chunk = CubeFile({});
  EXPECT_EQ(ConvertBySmoothingGroups(no_chunk), testing_support::Convert(no_chunk));
  // Without the option the chunk changes nothing.
  EXPECT_EQ(testing_support::Convert(CubeFile({1, 2, 4, 8, 16, 32})),
            testing_support::Convert(no_chunk));
}

t3ds::Mesh Planes(bool shared_edge, std::uint32_t mask) {
  // Two squares meeting at a right angle along x = 0..1, y = 0.
  t3ds::Mesh mesh;
  mesh.name = "Planes";
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}};
  std::uint16_t a = 0, b = 1;
  if (!shared_edge) {
    mesh.vertices.push_back({0, 0, 0});
    mesh.vertices.push_back({1, 0, 0});
    a = 6;
    b = 7;
  }
  mesh.faces = {{0, 1, 2}, {0, 2, 3}, {a, 5, b}, {a, 4, 5}};
  mesh.smoothing = {mask, mask, mask, mask};
  return mesh;
}

std::set<std::tuple<float, float, float>> Normals(const BmfFile& file) {
  std::set<std::tuple<float, float, float>> normals;
  for (const auto& v : file.blocks.at(0).vertices) normals.insert({v.i, v.j, v.k});
  return normals;
}

TEST(SmoothingGroups, HardEdgesStayHardAndSeparateVerticesStaySeparate) {
  const BmfFile hard = ParseBmf(ConvertBySmoothingGroups(t3ds::BuildFile({}, {Planes(true, 0)})));
  EXPECT_EQ(hard.blocks[0].vertices.size(), 8u);  // the two edge vertices are split
  EXPECT_EQ(Normals(hard).size(), 2u);

  const BmfFile smooth = ParseBmf(ConvertBySmoothingGroups(t3ds::BuildFile({}, {Planes(true, 1)})));
  EXPECT_EQ(smooth.blocks[0].vertices.size(), 6u);
  EXPECT_GT(Normals(smooth).size(), 2u);

  // Coincident but separate vertices are never welded.
  const BmfFile apart = ParseBmf(ConvertBySmoothingGroups(t3ds::BuildFile({}, {Planes(false, 1)})));
  EXPECT_EQ(apart.blocks[0].vertices.size(), 8u);
  EXPECT_EQ(Normals(apart).size(), 2u);
}

TEST(SmoothingGroups, CylinderCapsStaySharpAgainstASmoothSide) {
  t3ds::Mesh cylinder = t3ds::Cylinder("Can", 1, 2, 16);
  // Faces come four per segment: two of the side, the bottom cap, the top cap.
  for (std::size_t i = 0; i < cylinder.faces.size(); ++i)
    cylinder.smoothing.push_back(i % 4 < 2 ? 1u : (i % 4 == 2 ? 2u : 4u));
  const BmfFile file = ParseBmf(ConvertBySmoothingGroups(t3ds::BuildFile({}, {cylinder})));
  // 16 rim vertices at each end: once for the side, once for the cap; plus
  // the two cap centres.  (The default material is two-sided: the reversed
  // copies add no vertex.)
  EXPECT_EQ(file.blocks[0].vertices.size(), 16u * 2 * 2 + 2);
  for (const auto& v : file.blocks[0].vertices) {
    // The file's z is the model's y.
    const bool cap = std::fabs(v.j) == 1.0f && v.i == 0.0f && v.k == 0.0f;
    const bool side = std::fabs(v.j) < 1e-6f;
    EXPECT_TRUE(cap || side) << v.i << " " << v.j << " " << v.k;
  }
}

TEST(SmoothingGroups, DamagedListsFailOnlyWithTheOption) {
  t3ds::Mesh cube = Cube({1, 2, 4, 8, 16, 32});
  cube.smoothing.pop_back();
  const Bytes file = t3ds::BuildFile({}, {cube});
  EXPECT_THROW(torvik::HRead3dsScene(file, {.smoothing_groups = true}), torvik::ReadError);
  EXPECT_NO_THROW(torvik::HRead3dsScene(file));
}

TEST(SmoothingGroups, SplitMaterialsStillObeyTheBlockRules) {
  // 20 tori of 30x24 quads, every face in its own group: every corner a vertex.
  std::vector<t3ds::Mesh> meshes;
  for (int i = 0; i < 20; ++i) {
    std::string name = "T";
    name += std::to_string(i);
    t3ds::Mesh torus = t3ds::Torus(name, 3, 1, 30, 24, {0, 0, float(i)});
    for (std::size_t f = 0; f < torus.faces.size(); ++f) torus.smoothing.push_back(1u << (f % 31));
    meshes.push_back(torus);
  }
  const BmfFile file = ParseBmf(ConvertBySmoothingGroups(t3ds::BuildFile({}, meshes)));
  EXPECT_GT(file.blocks.size(), 1u);
  std::size_t triangles = 0;
  for (const auto& block : file.blocks) triangles += block.triangles.size();
  EXPECT_EQ(triangles, 20u * 30 * 24 * 2 * 2);
}

// Each mesh is split on its own and numbered after the meshes before it:
// beside others, a mesh's block is the block it makes alone, whether its
// vertices are split, kept in place (one group over every vertex) or
// shifted after a mesh that has unused vertices or two-sided triangles.
TEST(SmoothingGroups, MeshesSplitBesideOthersAsAlone) {
  auto material = [](const char* name, bool two_sided) {
    return t3ds::Material{name,
                          t3ds::Color{0.5f, 0.5f, 0.5f},
                          t3ds::Color{0.5f, 0.5f, 0.5f},
                          t3ds::Color{1, 1, 1},
                          {},
                          two_sided,
                          ""};
  };
  std::vector<t3ds::Material> materials;
  std::vector<t3ds::Mesh> meshes;
  t3ds::Mesh flat = Cube({1, 2, 4, 8, 16, 32});
  flat.vertices.push_back({5, 5, 5});  // used by no face
  meshes.push_back(flat);
  meshes.push_back(Cube({1, 1, 1, 1, 1, 1}));
  t3ds::Mesh can = t3ds::Cylinder("Can", 1, 2, 16);
  for (std::size_t i = 0; i < can.faces.size(); ++i)
    can.smoothing.push_back(i % 4 < 2 ? 1u : (i % 4 == 2 ? 2u : 0u));
  meshes.push_back(can);
  meshes.push_back(Cube({3, 3, 3, 3, 3, 3}));
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    const std::string name = std::string("M").append(std::to_string(m));
    materials.push_back(material(name.c_str(), m == 2));
    meshes[m].name = std::string("Mesh").append(std::to_string(m));
    meshes[m].groups.clear();  // the cubes come assigned to "Grey"
    t3ds::AssignAll(meshes[m], name);
  }
  const BmfFile together = ParseBmf(ConvertBySmoothingGroups(t3ds::BuildFile(materials, meshes)));
  ASSERT_EQ(together.blocks.size(), meshes.size());
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    const BmfFile alone =
        ParseBmf(ConvertBySmoothingGroups(t3ds::BuildFile({materials[m]}, {meshes[m]})));
    ASSERT_EQ(alone.blocks.size(), 1u);
    const auto& a = alone.blocks[0];
    const auto& b = together.blocks[m];
    ASSERT_EQ(a.vertices.size(), b.vertices.size()) << "mesh " << m;
    ASSERT_EQ(a.triangles.size(), b.triangles.size()) << "mesh " << m;
    EXPECT_EQ(0, std::memcmp(a.vertices.data(), b.vertices.data(),
                             a.vertices.size() * sizeof a.vertices[0]))
        << "mesh " << m;
    EXPECT_EQ(0, std::memcmp(a.triangles.data(), b.triangles.data(),
                             a.triangles.size() * sizeof a.triangles[0]))
        << "mesh " << m;
  }
}

}  // namespace
