// Material blocks: colours, transparency, two-sided flag, texture name.
#include <gtest/gtest.h>

#include <functional>

#include "threeds_builder.h"
#include "torvik32c/3dsload.h"

namespace {

using t3ds::ChunkWriter;

torvik::H3dsMat ReadMaterial(const std::function<void(ChunkWriter&)>& body) {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D).begin(0xAFFF);
  body(out);
  out.end().end().end();
  const torvik::H3dsScene scene = torvik::HRead3dsScene(out.bytes());
  EXPECT_EQ(scene.material.size(), 1u);
  return scene.material.at(0);
}

TEST(MaterialChunks, ByteColoursScaleByOneOver256AndTheLaterFormWins) {
  const torvik::H3dsMat mat = ReadMaterial([](ChunkWriter& out) {
    out.begin(0xA000).str("Paint").end();
    out.begin(0xA010).begin(0x0011).u8(255).u8(128).u8(0).end().end();
    out.begin(0xA020).begin(0x0011).u8(1).u8(2).u8(3).end();
    out.begin(0x0010).f32(0.25f).f32(0.5f).f32(0.75f).end().end();
    out.begin(0xA030).begin(0x0010).f32(0.25f).f32(0.5f).f32(0.75f).end();
    out.begin(0x0012).u32(0).end();  // another colour form: skipped
    out.begin(0x0011).u8(0).u8(64).u8(32).end().end();
  });
  EXPECT_EQ(mat.name, "Paint");
  EXPECT_EQ(mat.ambient.red, 0.99609375f);
  EXPECT_EQ(mat.ambient.green, 0.5f);
  EXPECT_EQ(mat.ambient.blue, 0.0f);
  EXPECT_EQ(mat.diffuse.red, 0.25f);
  EXPECT_EQ(mat.diffuse.blue, 0.75f);
  EXPECT_EQ(mat.specular.red, 0.0f);
  EXPECT_EQ(mat.specular.green, 0.25f);
  EXPECT_EQ(mat.specular.blue, 0.125f);
  EXPECT_EQ(mat.alpha, 0.0f);  // no transparency chunk
  EXPECT_EQ(mat.doublesided, 0);
}

float AlphaOf(const std::function<void(ChunkWriter&)>& percentages) {
  return ReadMaterial([&](ChunkWriter& out) {
           out.begin(0xA050);
           percentages(out);
           out.end();
         })
      .alpha;
}

std::function<void(ChunkWriter&)> IntPercent(std::int16_t amount) {
  return [=](ChunkWriter& out) { out.begin(0x0030).u16(static_cast<std::uint16_t>(amount)).end(); };
}

std::function<void(ChunkWriter&)> FloatPercent(float amount) {
  return [=](ChunkWriter& out) { out.begin(0x0031).f32(amount).end(); };
}

TEST(MaterialChunks, TransparencyBecomesAlpha) {
  EXPECT_EQ(AlphaOf(IntPercent(0)), 1.0f);
  EXPECT_EQ(AlphaOf(IntPercent(1)), 1.0f);  // 0.01 as a float is below 0.01
  EXPECT_EQ(AlphaOf(IntPercent(2)), 0.02f);
  EXPECT_EQ(AlphaOf(IntPercent(50)), 0.5f);
  EXPECT_EQ(AlphaOf(IntPercent(100)), 1.0f);
  EXPECT_EQ(AlphaOf(IntPercent(-5)), 1.0f);
  EXPECT_EQ(AlphaOf([](ChunkWriter&) {}), 1.0f);  // no percentage at all
  EXPECT_EQ(AlphaOf([](ChunkWriter& out) {
              IntPercent(30)(out);
              IntPercent(60)(out);
            }),
            0.6f);
}

TEST(MaterialChunks, FloatPercentageCountsOnlyWithoutAnIntegerOne) {
  EXPECT_EQ(AlphaOf(FloatPercent(25.0f)), 0.25f);
  EXPECT_EQ(AlphaOf(FloatPercent(0.5f)), 1.0f);
  EXPECT_EQ(AlphaOf([](ChunkWriter& out) {
              FloatPercent(25.0f)(out);
              FloatPercent(75.0f)(out);
            }),
            0.75f);
  EXPECT_EQ(AlphaOf([](ChunkWriter& out) {
              IntPercent(40)(out);
              FloatPercent(75.0f)(out);
            }),
            0.4f);
  // A float chunk with a longer body is read, then passed over by its length.
  EXPECT_EQ(AlphaOf([](ChunkWriter& out) {
              out.begin(0x0031).f32(20.0f).u32(0x12345678).end();
              IntPercent(70)(out);
            }),
            0.7f);
}

TEST(MaterialChunks, TwoSidedAndTextureName) {
  const torvik::H3dsMat only_two_sided = ReadMaterial([](ChunkWriter& out) { out.empty(0xA081); });
  EXPECT_EQ(only_two_sided.doublesided, 1);
  EXPECT_EQ(only_two_sided.name, "");
  EXPECT_EQ(only_two_sided.diffuse.green, 0.0f);

  const torvik::H3dsMat textured = ReadMaterial([](ChunkWriter& out) {
    out.begin(0xA200).begin(0x0030).u16(100).end().begin(0xA300).str("first.png").end().end();
    out.begin(0xA200).begin(0xA300).str("second.png").end().end();
    out.begin(0xA200).begin(0x0030).u16(50).end().end();  // no file name: keeps the last
  });
  EXPECT_EQ(textured.texture.texturename, "second.png");

  const torvik::H3dsMat empty = ReadMaterial([](ChunkWriter&) {});
  EXPECT_EQ(empty.name, "");
  EXPECT_EQ(empty.texture.texturename, "");
}

}  // namespace
