// Writes the fuzzers' seed corpus: small 3DS files that between them use
// every chunk the reader knows, in the orders and forms real files use.
//   make_seeds DIR
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "shapes.h"
#include "threeds_builder.h"

namespace {

using t3ds::ChunkWriter;
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
// mapping, a local-axis matrix and one face-material group per face.
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
  t3ds::WriteObject(out, t3ds::Box("Plain", {0, 0, 0}, {1, 1, 1}));
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
  t3ds::Material brass{"Brass",
                       t3ds::Color{0.2f, 0.1f, 0},
                       t3ds::Color{0.8f, 0.6f, 0.2f},
                       t3ds::Color{1, 1, 1},
                       40,
                       false,
                       "brass.png"};
  t3ds::Material leaf{"Leaf", {}, t3ds::Color{0.1f, 0.8f, 0.1f}, {}, {}, true, ""};
  t3ds::Mesh torus = t3ds::Torus("Ring", 2, 0.5f, 6, 4);
  t3ds::AssignAll(torus, "Brass");
  t3ds::Mesh box = t3ds::Box("Box", {-1, -1, -1}, {1, 1, 1});
  box.write_matrix = true;
  t3ds::AssignAll(box, "Leaf");
  t3ds::Mesh cylinder = t3ds::Cylinder("Column", 0.5f, 2, 5);
  return t3ds::BuildFile({brass, leaf}, {torus, box, cylinder});
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

bool Save(const std::string& dir, const std::string& name, const Bytes& bytes) {
  const std::string path = dir + "/" + name;
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) {
    std::perror(path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const bool ok = Save(dir, "all_chunks.3ds", AllChunks()) &&
                  Save(dir, "odd_order.3ds", OddOrder()) && Save(dir, "oddities.3ds", Oddities()) &&
                  Save(dir, "shapes.3ds", Shapes()) && Save(dir, "empties.3ds", Empties());
  return ok ? 0 : 1;
}
