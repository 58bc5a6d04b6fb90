// Models built to make the converter slow rather than to break it.
#include <gtest/gtest.h>

#include <cmath>

#include "robustness_support.h"
#include "threeds_builder.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/torvik32c.h"

namespace robustness {
namespace {

// A fan of 65533 faces around vertex 0 on a wavy surface, so that every face
// has a normal of its own; every face is listed `groups` times, and the
// smoothing mask 0 keeps each corner on its face normal.  Vertex 0 then
// carries tens of thousands of distinct normals, each corner of which must
// find its copy of the vertex without a scan of the others.
Bytes Fan(int groups) {
  constexpr int kVertices = 65535;
  constexpr int kFaces = kVertices - 2;
  t3ds::ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D).begin(0x4000).str("Fan").begin(0x4100);
  out.begin(0x4110).u16(kVertices).f32(0).f32(0).f32(1);
  for (int i = 1; i < kVertices; ++i) {
    const double angle = i * 0.001, radius = 1 + i * 1e-4;
    out.f32(static_cast<float>(radius * std::cos(angle)))
        .f32(static_cast<float>(radius * std::sin(angle)))
        .f32(static_cast<float>(std::sin(i * 0.37)));
  }
  out.end();
  out.begin(0x4120).u16(kFaces);
  for (int i = 1; i <= kFaces; ++i) out.u16(0).u16(i).u16(i + 1).u16(0);
  for (int g = 0; g < groups; ++g) {
    out.begin(0x4130).str("Stone").u16(kFaces);
    for (int i = 0; i < kFaces; ++i) out.u16(i);
    out.end();
  }
  out.end();
  out.begin(0x4150);
  for (int i = 0; i < kFaces; ++i) out.u32(0);
  out.end();
  out.end().end().end().end();
  return out.bytes();
}

TEST(HostileModels, VertexWithTensOfThousandsOfDistinctSmoothingNormals) {
  const Bytes file = Fan(2);
  torvik::H3dsScene scene = torvik::HRead3dsScene(file, {.smoothing_groups = true});
  const torvik::Model model =
      torvik::convert_to_outgl(std::move(scene), nullptr, {.smoothing_groups = true});
  // Vertex 0 is split once per distinct face normal, far more often than
  // any other vertex.
  EXPECT_GT(model.NumVertex(), 65535u + 60000u);
  const Bytes bmf = torvik::OutGLBMFBytes(model);
  EXPECT_TRUE(torvik::ValidateBmf(torvik::ReadBmf(bmf)).empty());
}

// Every material block gives a BMF block, even one without triangles, so
// 65536 empty material blocks (6 bytes each) need more blocks than a BMF
// file can count.
TEST(HostileModels, TooManyMaterialsFailTheCallAndKeepTheDestination) {
  t3ds::ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D);
  for (int i = 0; i < 65536; ++i) out.empty(0xAFFF);
  out.end().end();
  testing_support::TempDir dir;
  const std::string src = dir.file("materials.3ds"), dest = dir.file("materials.bmf");
  testing_support::WriteFile(src, out.bytes());
  testing_support::WriteFile(dest, {'o', 'l', 'd'});
  const EntryCall call = CallEntry(src, dest);
  EXPECT_EQ(call.result, 1);
  EXPECT_EQ(call.message, "Model too large for BMF: " + dest);
  EXPECT_EQ(testing_support::ReadFile(dest), Bytes({'o', 'l', 'd'}));
}

}  // namespace
}  // namespace robustness
