// The OBJ of a small known model parses back to the same positions and faces.
#include "obj_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "shapes.h"
#include "test_support.h"

namespace {

using torvik::ExportAxes;

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

void CheckPositionsAndFaces(const torvik::BmfFile& file, ExportAxes axes) {
  const ParsedObj obj = ParseObj(ExportObj(file, "model.mtl", {}, axes).obj);
  const bool authored = axes == ExportAxes::authored;
  std::size_t face = 0, first_vertex = 0;
  for (std::size_t b = 0; b < file.blocks.size(); ++b) {
    const torvik::BmfBlock& block = file.blocks[b];
    for (const torvik::BMF_SURFACE& t : block.triangles) {
      ASSERT_LT(face, obj.faces.size());
      EXPECT_EQ(obj.materials[face], "block" + std::to_string(b));
      const std::size_t corners[3] = {t.p0, authored ? t.p2 : t.p1, authored ? t.p1 : t.p2};
      for (int c = 0; c < 3; ++c) {
        const torvik::BMF_UNVERTEX& v = block.vertices[corners[c]];
        const std::array<float, 3>& p = obj.positions.at(obj.faces[face][c]);
        EXPECT_EQ(p, (std::array<float, 3>{v.x, v.y, authored ? -v.z : v.z})) << "face " << face;
        EXPECT_EQ(obj.faces[face][c], static_cast<int>(first_vertex + corners[c]));
      }
      ++face;
    }
    first_vertex += block.vertices.size();
  }
  EXPECT_EQ(face, obj.faces.size());
  EXPECT_EQ(obj.positions.size(), first_vertex);
}

// Positions and corners in the model's authored axes: z negated and the
// corners reversed; with ExportAxes::bmf as stored.
TEST(ObjExport, PositionsAndFacesReadBack) {
  t3ds::Mesh box = t3ds::Box("Box", {-1, -2, 0}, {1, 2, 0.5f});
  t3ds::AssignAll(box, "Brick");
  t3ds::Mesh cylinder = t3ds::Cylinder("Post", 0.25f, 3, 7);
  const std::vector<std::uint8_t> bytes3ds = t3ds::BuildFile(
      {{"Brick", {}, t3ds::Color{0.75f, 0.25f, 0.125f}, {}, 40, false, "brick.png"}},
      {box, cylinder});
  const torvik::BmfFile file = torvik::ReadBmf(testing_support::Convert(bytes3ds));
  for (const ExportAxes axes : {ExportAxes::authored, ExportAxes::bmf}) {
    SCOPED_TRACE(axes == ExportAxes::bmf ? "as stored" : "authored");
    CheckPositionsAndFaces(file, axes);
  }
  const ObjText text = ExportObj(file, "model.mtl");
  EXPECT_EQ(ParseObj(text.obj).mtllib, "model.mtl");

  // The default material comes first, then Brick with its colours and texture.
  EXPECT_NE(text.mtl.find("newmtl block0\n"), std::string::npos);
  EXPECT_NE(text.mtl.find("newmtl block1\nKa 0 0 0\nKd 0.75 0.25 0.125\nKs 0 0 0\nd 0.6\n"),
            std::string::npos)
      << text.mtl;
  EXPECT_NE(text.mtl.find("map_Kd brick.png\n"), std::string::npos);
}

// A tetrahedron on the file's three axes, faces counter-clockwise seen from
// outside: the OBJ keeps its handedness (not mirrored) and its front faces;
// with ExportAxes::bmf it is the mirror image.
TEST(ObjExport, SmallAsymmetricModelIsNotMirrored) {
  t3ds::Mesh tetra;
  tetra.name = "Tetra";
  tetra.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 2, 0}, {0, 0, 3}};
  tetra.faces = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
  t3ds::AssignAll(tetra, "Stone");
  const torvik::BmfFile file = torvik::ReadBmf(
      testing_support::Convert(t3ds::BuildFile({{"Stone", {}, {}, {}, {}, false, ""}}, {tetra})));
  using Vec = std::array<float, 3>;
  const auto minus = [](const Vec& a, const Vec& b) {
    return Vec{a[0] - b[0], a[1] - b[1], a[2] - b[2]};
  };
  const auto cross = [](const Vec& a, const Vec& b) {
    return Vec{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  };
  const auto dot = [](const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  };
  for (const ExportAxes axes : {ExportAxes::authored, ExportAxes::bmf}) {
    const ParsedObj obj = ParseObj(ExportObj(file, "t.mtl", {}, axes).obj);
    ASSERT_EQ(obj.positions.size(), 4u);
    // The file's x, y and z axis tips, wherever the export put them.
    std::map<float, Vec> tips;  // by distance from the origin: 1, 2, 3
    for (const Vec& p : obj.positions) tips[std::sqrt(dot(p, p))] = p;
    const bool authored = axes == ExportAxes::authored;
    EXPECT_EQ(dot(cross(tips[1], tips[2]), tips[3]), authored ? 6 : -6);
    EXPECT_EQ(tips[2], (Vec{0, 0, authored ? -2.0f : 2.0f}));  // the file's y
    EXPECT_EQ(tips[3], (Vec{0, 3, 0}));                        // the file's z is up
    // Front faces turn counter-clockwise seen from outside, mirrored or not.
    const Vec centre = {0.25f, 0.75f, authored ? -0.5f : 0.5f};
    ASSERT_EQ(obj.faces.size(), 4u);
    for (const std::array<int, 3>& f : obj.faces) {
      const Vec& p0 = obj.positions[f[0]];
      const Vec normal = cross(minus(obj.positions[f[1]], p0), minus(obj.positions[f[2]], p0));
      EXPECT_GT(dot(normal, minus(p0, centre)), 0);
    }
  }
}

}  // namespace

namespace {

// A texture that was not found is named by its stored name's last component
// only (no folder, drive or ".."), as valid UTF-8.
TEST(ObjExport, MissingTexturesAreNamedByTheirLastComponentInUtf8) {
  torvik::BmfFile file;
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\MAPS\\QUAD.TGA", "map_Kd QUAD.TGA\n"},
      {"../../etc/passwd", "map_Kd passwd\n"},
      {"/abs/path/\xE9t\xE9.jpg", "map_Kd \xC3\xA9t\xC3\xA9.jpg\n"},
      {"maps\\caf\xC3\xA9.png", "map_Kd caf\xC3\xA9.png\n"},
      {"D:wall.bmp", "map_Kd wall.bmp\n"},
      {"..\\..", ""},
  };
  for (const auto& [stored, line] : cases) {
    torvik::BmfBlock block;
    block.name_field = stored + '\0';
    file.blocks = {block};
    const std::string mtl = ExportObj(file, "m.mtl").mtl;
    if (line.empty())
      EXPECT_EQ(mtl.find("map_Kd"), std::string::npos) << mtl;
    else
      EXPECT_NE(mtl.find(line), std::string::npos) << mtl;
  }
}

}  // namespace
