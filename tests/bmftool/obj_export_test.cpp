// The OBJ of a small known model parses back to the same positions and faces.
#include "obj_export.h"

#include <gtest/gtest.h>

#include <sstream>

#include "shapes.h"
#include "test_support.h"

namespace {

struct ParsedObj {
  std::vector<std::array<float, 3>> positions;
  std::vector<std::array<int, 3>> faces;  // 0-based position indices
  std::vector<std::string> materials;     // usemtl per face
  std::string mtllib;
};

ParsedObj ParseObj(const std::string& text) {
  ParsedObj obj;
  std::istringstream in(text);
  std::string line, material;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "v") {
      std::array<float, 3> p{};
      fields >> p[0] >> p[1] >> p[2];
      obj.positions.push_back(p);
    } else if (key == "f") {
      std::array<int, 3> face{};
      for (int& corner : face) {
        std::string triple;
        fields >> triple;
        int v = 0, vt = 0, vn = 0;
        EXPECT_EQ(std::sscanf(triple.c_str(), "%d/%d/%d", &v, &vt, &vn), 3) << line;
        EXPECT_TRUE(v == vt && v == vn) << line;
        corner = v - 1;
      }
      obj.faces.push_back(face);
      obj.materials.push_back(material);
    } else if (key == "usemtl") {
      fields >> material;
    } else if (key == "mtllib") {
      fields >> obj.mtllib;
    }
  }
  return obj;
}

TEST(ObjExport, PositionsAndFacesReadBack) {
  t3ds::Mesh box = t3ds::Box("Box", {-1, -2, 0}, {1, 2, 0.5f});
  t3ds::AssignAll(box, "Brick");
  t3ds::Mesh cylinder = t3ds::Cylinder("Post", 0.25f, 3, 7);
  const std::vector<std::uint8_t> bytes3ds = t3ds::BuildFile(
      {{"Brick", {}, t3ds::Color{0.75f, 0.25f, 0.125f}, {}, 40, false, "brick.png"}},
      {box, cylinder});
  const torvik::BmfFile file = torvik::ReadBmf(testing_support::Convert(bytes3ds));
  const ObjText text = ExportObj(file, "model.mtl");
  const ParsedObj obj = ParseObj(text.obj);
  EXPECT_EQ(obj.mtllib, "model.mtl");

  std::size_t face = 0, first_vertex = 0;
  for (std::size_t b = 0; b < file.blocks.size(); ++b) {
    const torvik::BmfBlock& block = file.blocks[b];
    for (const torvik::BMF_SURFACE& t : block.triangles) {
      ASSERT_LT(face, obj.faces.size());
      EXPECT_EQ(obj.materials[face], "block" + std::to_string(b));
      const std::size_t corners[3] = {t.p0, t.p1, t.p2};
      for (int c = 0; c < 3; ++c) {
        const torvik::BMF_UNVERTEX& v = block.vertices[corners[c]];
        const std::array<float, 3>& p = obj.positions.at(obj.faces[face][c]);
        EXPECT_EQ(p, (std::array<float, 3>{v.x, v.y, v.z})) << "face " << face;
        EXPECT_EQ(obj.faces[face][c], static_cast<int>(first_vertex + corners[c]));
      }
      ++face;
    }
    first_vertex += block.vertices.size();
  }
  EXPECT_EQ(face, obj.faces.size());
  EXPECT_EQ(obj.positions.size(), first_vertex);

  // The default material comes first, then Brick with its colours and texture.
  EXPECT_NE(text.mtl.find("newmtl block0\n"), std::string::npos);
  EXPECT_NE(text.mtl.find("newmtl block1\nKa 0 0 0\nKd 0.75 0.25 0.125\nKs 0 0 0\nd 0.4\n"),
            std::string::npos)
      << text.mtl;
  EXPECT_NE(text.mtl.find("map_Kd brick.png\n"), std::string::npos);
}

}  // namespace
