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

TEST(BmfSplit, MaterialBeyondSixteenBitsBecomesSeveralBlocks) {
  // By vertices: 21846 triangles on fresh vertices need 65538 of them.
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
  // By triangles: the same triangle 65536 times.
  model.OutGLAddMaterial(kRed, kRed, kRed, "Deep", "", 0);
  for (int t = 0; t < 65536; ++t) model.OutGLAddPolygon({0, 1, 2}, "Deep");
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
