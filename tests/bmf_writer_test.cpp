// The BMF layout and the crunching of each material into its own block.
#include <gtest/gtest.h>

#include <cstring>

#include "test_support.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"

namespace {

using torvik::Model;
using torvik::RGB;
using torvik::VERTEX;
using Bytes = std::vector<std::uint8_t>;

constexpr RGB kRed{1.0f, 0.0f, 0.0f, 0.5f};

void AddGrid(Model& model, int count) {
  for (int i = 0; i < count; ++i)
    model.OutGLAddVertex(VERTEX{0, 0, 0, 0, 0, static_cast<float>(i % 7),
                                static_cast<float>(i * i % 11), static_cast<float>(i)});
}

Bytes U16(std::uint16_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}
Bytes F32(float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
          static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}
void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

TEST(BmfLayout, EmptyModelIsFourZeroBytes) {
  EXPECT_EQ(torvik::OutGLBMFBytes(Model()), Bytes({0, 0, 0, 0}));
}

TEST(BmfLayout, OneTriangleFileIsExactly161Bytes) {
  Model model;
  model.OutGLAddMaterial(kRed, kRed, kRed, "M", "", 0);
  model.OutGLAddVertex(VERTEX{0.5f, 0.25f, 0, 0, 0, 0, 0, 0});
  model.OutGLAddVertex(VERTEX{0, 0, 0, 0, 0, 1, 0, 0});
  model.OutGLAddVertex(VERTEX{0, 0, 0, 0, 0, 0, 1, 0});
  model.OutGLAddPolygon({0, 1, 2}, "M");
  model.OutGLFinishModel();
  Bytes expected = {1, 0, 0, 0, 1, 0, 0};
  for (int c = 0; c < 3; ++c)
    for (float f : {1.0f, 0.0f, 0.0f, 0.5f}) Append(expected, F32(f));
  Append(expected, U16(3));
  for (const VERTEX& v : model.VertexList())
    for (float f : {v.u, v.v, v.nx, v.ny, v.nz, v.x, v.y, v.z}) Append(expected, F32(f));
  Append(expected, U16(1));
  Append(expected, {0, 0, 1, 0, 2, 0});
  const Bytes bytes = torvik::OutGLBMFBytes(model);
  ASSERT_EQ(bytes.size(), 161u);
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(model.VertexList()[0].nz, 1.0f);
}

TEST(BmfLayout, TextureNameAndEmptyMaterials) {
  Model model;
  model.OutGLAddMaterial(kRed, kRed, kRed, "A", "stone", 0);
  model.OutGLAddMaterial(kRed, kRed, kRed, "B", "", 0);
  const Bytes bytes = torvik::OutGLBMFBytes(model);
  const Bytes start = {2, 0, 0, 0, 6, 0, 's', 't', 'o', 'n', 'e', 0};
  EXPECT_TRUE(std::equal(start.begin(), start.end(), bytes.begin()));
  EXPECT_EQ(Bytes(bytes.begin() + 12, bytes.begin() + 16), F32(1.0f));  // ambient at block offset 8
  // Each block without triangles is 54 + L bytes.
  EXPECT_EQ(bytes.size(), 4u + (54 + 6) + (54 + 1));
  const testing_support::BmfFile file = testing_support::ParseBmf(bytes);
  EXPECT_EQ(file.blocks[0].TextureName(), "stone");
  EXPECT_TRUE(file.blocks[1].vertices.empty());
}

TEST(BmfCrunch, VerticesAreNumberedInFirstUseOrderPerBlock) {
  Model model;
  model.OutGLAddMaterial(kRed, kRed, kRed, "A", "", 0);
  model.OutGLAddMaterial(kRed, kRed, kRed, "B", "", 0);
  AddGrid(model, 10);
  model.OutGLAddPolygon({5, 6, 7}, "A");
  model.OutGLAddPolygon({7, 6, 8}, "A");
  model.OutGLAddPolygon({8, 2, 7}, "B");
  model.OutGLFinishModel();
  const testing_support::BmfFile file = testing_support::ParseBmf(torvik::OutGLBMFBytes(model));
  ASSERT_EQ(file.blocks.size(), 2u);
  const auto& a = file.blocks[0];
  ASSERT_EQ(a.vertices.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a.vertices[i].z, static_cast<float>(5 + i));
  EXPECT_EQ(a.triangles[1].p0, 2);
  EXPECT_EQ(a.triangles[1].p1, 1);
  EXPECT_EQ(a.triangles[1].p2, 3);
  const auto& b = file.blocks[1];  // vertices 7 and 8 are stored again
  ASSERT_EQ(b.vertices.size(), 3u);
  EXPECT_EQ(b.vertices[0].z, 8.0f);
  EXPECT_EQ(b.vertices[2].z, 7.0f);
}

// "Wide" needs two blocks by vertices (21846 triangles on fresh vertices need
// 65538 of them), "Deep" two by triangles (the same triangle 65536 times).
// Not finished, so that more can be added.
Model SplitModel() {
  Model model;
  model.OutGLAddMaterial(kRed, kRed, kRed, "Wide", "wide.png", 0);
  const int triangles = 21846;
  for (int t = 0; t < triangles; ++t) {
    const float base = static_cast<float>(t);
    for (const VERTEX& v : {VERTEX{0, 0, 0, 0, 0, base, 0, 0}, VERTEX{0, 0, 0, 0, 0, base, 1, 0},
                            VERTEX{0, 0, 0, 0, 0, base, 0, 1}})
      model.OutGLAddVertex(v);
    const auto i = static_cast<torvik::dword>(3 * t);
    model.OutGLAddPolygon({i, i + 1, i + 2}, "Wide");
  }
  model.OutGLAddMaterial(kRed, kRed, kRed, "Deep", "", 0);
  for (int t = 0; t < 65536; ++t) model.OutGLAddPolygon({0, 1, 2}, "Deep");
  return model;
}

TEST(BmfSplit, MaterialBeyondSixteenBitsBecomesSeveralBlocks) {
  Model model = SplitModel();
  model.OutGLFinishModel();
  torvik::BmfStats stats;
  const testing_support::BmfFile file =
      testing_support::ParseBmf(torvik::OutGLBMFBytes(model, &stats));
  ASSERT_EQ(file.blocks.size(), 4u);
  EXPECT_EQ(stats.blocks, 4u);
  EXPECT_EQ(file.blocks[0].vertices.size(), 65535u);
  EXPECT_EQ(file.blocks[0].triangles.size(), 21845u);
  EXPECT_EQ(file.blocks[1].vertices.size(), 3u);
  EXPECT_EQ(file.blocks[1].TextureName(), "wide.png");
  EXPECT_EQ(file.blocks[1].vertices[0].x, 21845.0f);
  EXPECT_EQ(file.blocks[2].triangles.size(), 65535u);
  EXPECT_EQ(file.blocks[3].triangles.size(), 1u);
  EXPECT_EQ(file.blocks[3].vertices.size(), 3u);
}

// Adds a material "Fan" of four triangles around its first vertex.
void AddFan(Model& model) {
  model.OutGLAddMaterial(kRed, kRed, kRed, "Fan", "", 0);
  const auto first = static_cast<torvik::dword>(model.NumVertex());
  AddGrid(model, 6);
  for (torvik::dword i = 1; i < 5; ++i)
    model.OutGLAddPolygon({first, first + i, first + i + 1}, "Fan");
}

// A triangle-order hook sees each block with its own numbering and changes
// nothing but the order of its triangles; an order that is not a
// permutation is refused.
TEST(BmfTriangleOrder, HookReordersEachBlocksTrianglesAndNothingElse) {
  Model model = SplitModel();
  model.OutGLAddMaterial(kRed, kRed, kRed, "Empty", "", 0);
  AddFan(model);  // its reversal renumbers its vertices
  model.OutGLFinishModel();
  std::size_t calls = 0;
  torvik::BmfWriteOptions reverse;
  reverse.triangle_order = [&](const torvik::BlockTriangles& block) {
    ++calls;
    EXPECT_EQ(block.positions.size(), 3 * block.vertex_count);
    EXPECT_EQ(block.corners.size() % 3, 0u);
    for (const std::uint32_t corner : block.corners) EXPECT_LT(corner, block.vertex_count);
    std::vector<std::uint32_t> order(block.corners.size() / 3);
    for (std::size_t i = 0; i < order.size(); ++i)
      order[i] = static_cast<std::uint32_t>(order.size() - 1 - i);
    return order;
  };
  const testing_support::BmfFile plain = testing_support::ParseBmf(torvik::OutGLBMFBytes(model));
  // ParseBmf checks first-use order and that every vertex is used.
  const testing_support::BmfFile reversed =
      testing_support::ParseBmf(torvik::OutGLBMFBytes(model, nullptr, reverse));
  EXPECT_EQ(calls, 5u);  // every block but the empty one
  ASSERT_EQ(reversed.blocks.size(), plain.blocks.size());
  for (std::size_t b = 0; b < plain.blocks.size(); ++b) {
    const auto& a = plain.blocks[b];
    const auto& r = reversed.blocks[b];
    EXPECT_EQ(r.name_field, a.name_field);
    EXPECT_EQ(r.vertices.size(), a.vertices.size()) << b;
    EXPECT_EQ(testing_support::TriangleRecords(r.vertices, r.triangles),
              testing_support::TriangleRecords(a.vertices, a.triangles))
        << b;
  }
  const auto& fan = reversed.blocks.back();
  EXPECT_EQ(fan.vertices[1].z, 4.0f);  // the last triangle {0, 4, 5} comes first
  EXPECT_EQ(fan.vertices[2].z, 5.0f);
  EXPECT_EQ(fan.vertices[5].z, 1.0f);

  testing_support::TempDir dir;
  torvik::OutGLBMF(model, dir.file("r.bmf"), nullptr, nullptr, reverse);
  EXPECT_EQ(testing_support::ReadFile(dir.file("r.bmf")),
            torvik::OutGLBMFBytes(model, nullptr, reverse));

  for (const std::vector<std::uint32_t>& wrong :
       {std::vector<std::uint32_t>{}, std::vector<std::uint32_t>{0, 0, 1, 2},
        std::vector<std::uint32_t>{0, 1, 2, 4}}) {
    torvik::BmfWriteOptions broken;
    broken.triangle_order = [&](const torvik::BlockTriangles&) { return wrong; };
    Model fan_only;
    AddFan(fan_only);
    fan_only.OutGLFinishModel();
    try {
      torvik::OutGLBMFBytes(fan_only, nullptr, broken);
      ADD_FAILURE() << "an order of " << wrong.size() << " was taken";
    } catch (const torvik::Error& error) {
      EXPECT_EQ(error.kind, torvik::Error::Kind::invalid_model);
    }
  }
}

TEST(BmfSplit, MoreThan65535BlocksIsRefused) {
  Model model;
  for (int i = 0; i < 65536; ++i) model.OutGLAddMaterial(kRed, kRed, kRed, "M", "", 0);
  EXPECT_THROW(torvik::OutGLBMFBytes(model), torvik::ModelTooLarge);
}

TEST(BmfFile, WritingTwiceGivesTheSameBytesAndAFailedWriteKeepsTheOldFile) {
  testing_support::TempDir dir;
  Model model;
  model.OutGLAddMaterial(kRed, kRed, kRed, "A", "", 0);
  AddGrid(model, 4);
  model.OutGLAddPolygon({0, 1, 2}, "A");
  model.OutGLFinishModel();
  const std::string path = dir.file("out.bmf");
  torvik::OutGLBMF(model, path);
  EXPECT_EQ(testing_support::ReadFile(path), torvik::OutGLBMFBytes(model));

  Model too_large;
  for (int i = 0; i < 65536; ++i) too_large.OutGLAddMaterial(kRed, kRed, kRed, "M", "", 0);
  EXPECT_THROW(torvik::OutGLBMF(too_large, path), torvik::ModelTooLarge);
  EXPECT_EQ(testing_support::ReadFile(path), torvik::OutGLBMFBytes(model));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
