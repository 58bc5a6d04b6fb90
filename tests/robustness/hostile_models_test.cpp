// Models built to make the converter slow rather than to break it, or to
// take over the terminal of whoever reads its messages.
#include <gtest/gtest.h>

#include <cmath>

#include "robustness_support.h"
#include "shapes.h"
#include "threeds_builder.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/name_text.h"
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

using testing_support::FirstTerminalControl;
using testing_support::kNotUtf8;
using testing_support::kTerminalEscapes;

// Every message the library builds shows the names it quotes through
// ShownName: a name can't clear the screen, set the terminal's title or
// forge a line, whether it is UTF-8 or not; a caller's decoder is used for
// names that are not UTF-8.
TEST(HostileModels, NamesInTheLibrarysMessagesCantTakeOverATerminal) {
  // The one escape: C0, DEL, C1 as a byte and as UTF-8, and bytes that are
  // not UTF-8; backslashes and other UTF-8 kept; showing twice changes nothing.
  const std::string shown = torvik::ShownText(kTerminalEscapes);
  EXPECT_EQ(shown, "\\x1B]0;PWNED\\x07\\x1B[2J\\u009B31m\\x0Aforged: line");
  EXPECT_EQ(torvik::ShownText(kNotUtf8), "\\x1B[1m\\x9B7m\\xFF");
  EXPECT_EQ(torvik::ShownText("\x7F\t\xC0\xAF\xED\xA0\x80\xE2\x82"),
            "\\x7F\\x09\\xC0\\xAF\\xED\\xA0\\x80\\xE2\\x82");
  const std::string kept = "C:\\MAPS\\Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xA8.jpg";
  EXPECT_EQ(torvik::ShownText(kept), kept);
  EXPECT_EQ(torvik::ShownText(shown), shown);
  // A name is decoded first: Windows-1252 reads 0x9B as U+203A.
  EXPECT_EQ(torvik::ShownName(kNotUtf8),
            "\\x1B[1m\xE2\x80\xBA"
            "7m\xC3\xBF");

  // A fault the reader finds in a mesh names it.
  t3ds::Mesh broken = t3ds::Box(kTerminalEscapes, {0, 0, 0}, {1, 1, 1});
  broken.faces[0].c = 99;
  try {
    torvik::HRead3dsScene(t3ds::BuildFile({}, {broken}));
    ADD_FAILURE() << "a face past the vertices was read";
  } catch (const torvik::Error& error) {
    const std::string message = error.what();
    EXPECT_EQ(FirstTerminalControl(message), std::string::npos) << message;
    EXPECT_NE(message.find("mesh '" + shown + "'"), std::string::npos) << message;
  }

  // The keyframer's warnings: a missing parent, a singular matrix; the
  // caller's decoder reads the names that are not UTF-8.
  t3ds::Mesh flat = t3ds::Box(kNotUtf8, {0, 0, 0}, {1, 1, 1});
  flat.matrix = std::array<float, 12>{};
  const Bytes orphan = t3ds::BuildFile({}, {t3ds::Box("Box", {0, 0, 0}, {1, 1, 1})},
                                       {{.id = 0, .name = kTerminalEscapes, .parent = 7}});
  const Bytes singular = t3ds::BuildFile({}, {flat}, {{.id = 0, .name = kNotUtf8}});
  const torvik::NameDecoder decoder = [](std::string_view stored) {
    return std::to_string(stored.size()) + " bytes";
  };
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {orphan, "node 0 ('" + shown + "') names the parent 7"},
      {singular, "mesh '8 bytes' has a singular matrix"},
  };
  for (const auto& [bytes, expected] : cases) {
    const torvik::H3dsScene scene = torvik::HRead3dsScene(bytes, {.keyframer = true});
    const torvik::ScenePlacement placement = torvik::PlaceScene(scene, decoder);
    ASSERT_EQ(placement.warnings.size(), 1u);
    EXPECT_EQ(FirstTerminalControl(placement.warnings[0]), std::string::npos);
    EXPECT_NE(placement.warnings[0].find(expected), std::string::npos) << placement.warnings[0];
  }
}

}  // namespace
}  // namespace robustness
