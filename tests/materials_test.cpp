// Material blocks: colours, transparency, two-sided flag, texture name, and
// what the exports read besides: shininess, self-illumination and the maps.
#include <gtest/gtest.h>

#include <functional>

#include "threeds_builder.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"

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

TEST(MaterialChunks, ShininessSelfIlluminationAndFalloffAreReadAsPercentages) {
  const torvik::H3dsMat mat = ReadMaterial([](ChunkWriter& out) {
    out.begin(0xA040).begin(0x0030).u16(40).end().end();
    out.begin(0xA041);
    FloatPercent(25.0f)(out);
    IntPercent(70)(out);  // the integer percentage counts
    out.end();
    out.begin(0xA084);
    FloatPercent(12.5f)(out);
    out.end();
    out.begin(0xA052).end();  // no percentage: as if not there
    out.empty(0xA080);
  });
  EXPECT_EQ(mat.shininess, 0.4f);
  EXPECT_EQ(mat.shininess_strength, 0.7f);
  EXPECT_EQ(mat.self_illumination, 0.125f);
  EXPECT_FALSE(mat.transparency_falloff.has_value());
  EXPECT_TRUE(mat.self_illumination_flag);

  const torvik::H3dsMat plain = ReadMaterial([](ChunkWriter& out) { out.empty(0xA081); });
  EXPECT_FALSE(plain.shininess || plain.shininess_strength || plain.self_illumination);
  EXPECT_FALSE(plain.self_illumination_flag);
  for (const torvik::H3dsTextureMap& map : plain.maps) EXPECT_FALSE(map.present);
}

TEST(MaterialChunks, EachMapKeepsItsFileAmountTilingAndPlacement) {
  using torvik::MapKind;
  const std::pair<std::uint16_t, MapKind> chunks[] = {
      {0xA200, MapKind::texture},           {0xA33A, MapKind::texture2},
      {0xA210, MapKind::opacity},           {0xA230, MapKind::bump},
      {0xA204, MapKind::specular},          {0xA33C, MapKind::shininess},
      {0xA33D, MapKind::self_illumination}, {0xA220, MapKind::reflection}};
  const torvik::H3dsMat mat = ReadMaterial([&](ChunkWriter& out) {
    for (std::size_t i = 0; i < std::size(chunks); ++i) {
      const float k = static_cast<float>(i);
      t3ds::WriteMapChunk(out, {.id = chunks[i].first,
                                .name = "MAP" + std::to_string(i) + ".JPG",
                                .percent = static_cast<std::int16_t>(10 * i),
                                .tiling = static_cast<std::uint16_t>(0x10 + i),
                                .blur = 0.5f * k,
                                .u_scale = 2 + k,
                                .v_scale = 3 + k,
                                .u_offset = 0.25f * k,
                                .v_offset = -0.5f * k,
                                .rotation = 15 * k});
    }
  });
  for (std::size_t i = 0; i < std::size(chunks); ++i) {
    SCOPED_TRACE(i);
    const float k = static_cast<float>(i);
    const torvik::H3dsTextureMap& map = mat.Map(chunks[i].second);
    EXPECT_TRUE(map.present);
    EXPECT_TRUE(map.Used());
    EXPECT_EQ(map.name, "MAP" + std::to_string(i) + ".JPG");
    EXPECT_EQ(map.percent, static_cast<float>(10 * i * 0.01));
    EXPECT_EQ(map.tiling, 0x10 + i);
    EXPECT_EQ(map.blur, 0.5f * k);
    EXPECT_EQ(map.u_scale, 2 + k);
    EXPECT_EQ(map.v_scale, 3 + k);
    EXPECT_EQ(map.u_offset, 0.25f * k);
    EXPECT_EQ(map.v_offset, -0.5f * k);
    EXPECT_EQ(map.rotation, 15 * k);
  }
  EXPECT_EQ(mat.texture.texturename, "MAP0.JPG");

  // A map without a name, and one with a float amount and nothing else.
  const torvik::H3dsMat bare = ReadMaterial([](ChunkWriter& out) {
    t3ds::WriteMapChunk(out, {.id = 0xA230, .percent = 30});
    t3ds::WriteMapChunk(out, {.id = 0xA210, .name = "A.TGA", .float_percent = 45.0f});
  });
  const torvik::H3dsTextureMap& bump = bare.Map(MapKind::bump);
  EXPECT_TRUE(bump.present);
  EXPECT_FALSE(bump.Used());
  EXPECT_EQ(bump.percent, 0.3f);
  const torvik::H3dsTextureMap& opacity = bare.Map(MapKind::opacity);
  EXPECT_EQ(opacity.percent, 0.45f);
  EXPECT_EQ(opacity.u_scale, 1.0f);
  EXPECT_EQ(opacity.v_offset, 0.0f);
  EXPECT_EQ(opacity.tiling, 0);
  EXPECT_FALSE(bare.Map(MapKind::texture).present);
}

// The extras are read aside: damage in them loses what it holds, and the
// file converts to the same bytes as without them.
TEST(MaterialChunks, DamagedExtrasLoseOnlyWhatTheyHoldAndNeverTheFile) {
  const auto file = [](const std::function<void(ChunkWriter&)>& extras) {
    ChunkWriter out;
    out.begin(0x4D4D).begin(0x3D3D);
    out.begin(0xAFFF).begin(0xA000).str("M").end();
    out.begin(0xA020).begin(0x0010).f32(0.5f).f32(0.25f).f32(1).end().end();
    extras(out);
    out.begin(0xA200).begin(0xA300).str("WOOD.JPG").end().end();
    out.end();
    t3ds::Mesh quad{"Quad",
                    {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}},
                    {{0, 1, 2}},
                    {{0, 0}, {1, 0}, {1, 1}},
                    {{"M", {0}}}};
    t3ds::WriteObject(out, quad);
    out.end().end();
    return out.bytes();
  };
  const std::vector<std::uint8_t> plain = file([](ChunkWriter&) {});
  const std::vector<std::uint8_t> damaged = file([](ChunkWriter& out) {
    out.begin(0xA210).begin(0xA300).str("OPAC.JPG").end();
    out.begin(0xA354).u16(7).end();  // too short for its float: ignored
    out.begin(0xA356).f32(4).end();
    out.header(0xA358, 3);  // shorter than a header: the map's walk stops here
    out.u32(0).u16(0).end();
    out.begin(0xA230).begin(0xA300).raw({'B', 'U', 'M', 'P'}).end().end();  // no zero
    out.begin(0xA204).header(0xA354, 0x7FFF).end();                         // runs past its map
    out.begin(0xA040).header(0x0030, 2).end();
    out.begin(0xA041).begin(0x0030).u8(9).end().end();  // a byte short
  });
  const torvik::H3dsScene scene = torvik::HRead3dsScene(damaged);
  const torvik::H3dsMat& mat = scene.material.at(0);
  const torvik::H3dsTextureMap& opacity = mat.Map(torvik::MapKind::opacity);
  EXPECT_EQ(opacity.name, "OPAC.JPG");
  EXPECT_EQ(opacity.u_scale, 1.0f);
  EXPECT_EQ(opacity.v_scale, 4.0f);
  EXPECT_TRUE(mat.Map(torvik::MapKind::bump).present);
  EXPECT_EQ(mat.Map(torvik::MapKind::bump).name, "");
  EXPECT_EQ(mat.Map(torvik::MapKind::specular).u_scale, 1.0f);
  EXPECT_FALSE(mat.shininess || mat.shininess_strength);
  EXPECT_EQ(mat.texture.texturename, "WOOD.JPG");
  EXPECT_EQ(mat.Map(torvik::MapKind::texture).name, "WOOD.JPG");

  const auto bmf = [](const std::vector<std::uint8_t>& bytes) {
    return torvik::OutGLBMFBytes(torvik::convert_to_outgl(torvik::HRead3dsScene(bytes)));
  };
  EXPECT_EQ(bmf(damaged), bmf(plain));
}

}  // namespace
