#include "seed_files.h"

#include "keyframer_demo.h"
#include "shapes.h"
#include "threeds_builder.h"

namespace t3ds {

namespace {

using Bytes = std::vector<std::uint8_t>;

// A material with every colour form, both percentage forms, the two-sided
// flag and a texture map.
void WriteRichMaterial(ChunkWriter& out, const std::string& name, bool two_sided) {
  out.begin(0xAFFF);
  out.begin(0xA000).str(name).end();
  out.begin(0xA010).begin(0x0010).f32(0.2f).f32(0.1f).f32(0.05f).end().end();
  out.begin(0xA020).begin(0x0011).u8(200).u8(128).u8(16).end().end();
  out.begin(0xA030)
      .begin(0x0011)
      .u8(255)
      .u8(255)
      .u8(255)
      .end()
      .begin(0x0010)
      .f32(0.9f)
      .f32(0.9f)
      .f32(0.9f)
      .end()
      .end();
  if (two_sided) {
    out.begin(0xA050).begin(0x0031).f32(35.5f).end().end();
    out.empty(0xA081);
  } else {
    out.begin(0xA050).begin(0x0030).u16(25).end().begin(0x0031).f32(60.0f).end().end();
  }
  out.begin(0xA200).begin(0x0030).u16(100).end().begin(0xA300).str(name + ".png").end().end();
  out.end();
}

// A square of two faces, one stored with the swapped-winding flags 7, with
// mapping, a local-axis matrix, one face-material group per face and
// smoothing groups that share no bit.
void WriteRichMesh(ChunkWriter& out, const std::string& name, const std::string& first,
                   const std::string& second) {
  out.begin(0x4000).str(name);
  out.begin(0x4100);
  out.begin(0x4110).u16(4);
  const float corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}};
  for (const auto& c : corners) out.f32(c[0]).f32(c[1]).f32(c[2]);
  out.end();
  out.begin(0x4140).u16(4).f32(0).f32(0).f32(1).f32(0).f32(1).f32(1).f32(0).f32(1).end();
  out.begin(0x4160);
  for (int i = 0; i < 12; ++i) out.f32(i % 4 == 0 ? 1.0f : 0.0f);
  out.end();
  out.begin(0x4120).u16(2);
  out.u16(0).u16(1).u16(2).u16(0);
  out.u16(0).u16(2).u16(3).u16(7);
  out.begin(0x4130).str(first).u16(1).u16(0).end();
  out.begin(0x4130).str(second).u16(1).u16(1).end();
  out.begin(0x4150).u32(1).u32(6).end();
  out.end();
  out.end();
  out.end();
}

Bytes AllChunks() {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x0002).u32(3).end().begin(0x3D3D);
  WriteRichMaterial(out, "Brass", false);
  WriteRichMaterial(out, "Leaf", true);
  WriteRichMesh(out, "Square", "Brass", "Leaf");
  out.end().end();
  return out.bytes();
}

// Vertices after faces, a short mapping list, a group naming a material the
// file lacks, and a second mesh without groups.
Bytes OddOrder() {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D);
  WriteRichMaterial(out, "Only", false);
  out.begin(0x4000).str("Late");
  out.begin(0x4100);
  out.begin(0x4120).u16(1).u16(0).u16(1).u16(2).u16(7);
  out.begin(0x4130).str("Missing").u16(1).u16(0).end();
  out.end();
  out.begin(0x4140).u16(1).f32(0.5f).f32(0.5f).end();
  out.begin(0x4110).u16(3).f32(0).f32(0).f32(0).f32(0).f32(2).f32(0).f32(2).f32(0).f32(0).end();
  out.end();
  out.end();
  WriteObject(out, Box("Plain", {0, 0, 0}, {1, 1, 1}));
  out.end().end();
  return out.bytes();
}

// A name longer than the reader keeps, an unknown chunk in every level, and
// a degenerate face on a two-sided material.
Bytes Oddities() {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x1234).u16(1).end().begin(0x3D3D);
  out.begin(0x0100).f32(1.0f).end();
  const std::string long_name(60, 'M');
  out.begin(0xAFFF).begin(0xA000).str(long_name).end().empty(0xA081).begin(0xA100).u16(1).end();
  out.end();
  out.begin(0x4000).str("Thin").begin(0x4700).end();
  out.begin(0x4100).begin(0x4111).u16(0).end();
  out.begin(0x4110).u16(3).f32(0).f32(0).f32(0).f32(1).f32(1).f32(1).f32(2).f32(2).f32(2).end();
  out.begin(0x4120).u16(2).u16(0).u16(1).u16(2).u16(0).u16(0).u16(0).u16(1).u16(0);
  out.begin(0x4130).str(long_name.substr(0, 49)).u16(2).u16(0).u16(1).end();
  out.begin(0x4150).u16(0).u16(0).end();
  out.end();
  out.end();
  out.end();
  out.end().end();
  return out.bytes();
}

Bytes Shapes() {
  Material brass{"Brass", Color{0.2f, 0.1f, 0}, Color{0.8f, 0.6f, 0.2f}, Color{1, 1, 1}, 40,
                 false,   "brass.png"};
  Material leaf{"Leaf", {}, Color{0.1f, 0.8f, 0.1f}, {}, {}, true, ""};
  Mesh torus = Torus("Ring", 2, 0.5f, 6, 4);
  AssignAll(torus, "Brass");
  Mesh box = Box("Box", {-1, -1, -1}, {1, 1, 1});
  box.write_matrix = true;
  AssignAll(box, "Leaf");
  Mesh cylinder = Cylinder("Column", 0.5f, 2, 5);
  return BuildFile({brass, leaf}, {torus, box, cylinder});
}

// Lists of count zero and an editor chunk with nothing in it.
Bytes Empties() {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D).end().begin(0x3D3D);
  out.begin(0xAFFF).end();
  out.begin(0x4000).str("").begin(0x4100);
  out.begin(0x4110).u16(0).end().begin(0x4140).u16(0).end().begin(0x4120).u16(0).end();
  out.end().end();
  out.end().end();
  return out.bytes();
}

// The gate with its keyframer, spline values before every key's value.
Bytes Keyframer() {
  Scene gate = KeyframerDemo();
  for (Node& node : gate.nodes) node.key_flags = 0x1F;
  return BuildFile(gate.materials, gate.meshes, gate.nodes);
}

}  // namespace

std::vector<SeedFile> SeedFiles() {
  return {{"all_chunks.3ds", AllChunks()}, {"odd_order.3ds", OddOrder()},
          {"oddities.3ds", Oddities()},    {"shapes.3ds", Shapes()},
          {"empties.3ds", Empties()},      {"keyframer.3ds", Keyframer()}};
}

}  // namespace t3ds
