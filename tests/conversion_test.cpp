// Scene to model: materials, axes, winding, vertex numbering, default material.
#include <gtest/gtest.h>

#include "shapes.h"
#include "test_support.h"
#include "threeds_builder.h"
#include "torvik32c/3dsload.h"

namespace {

using t3ds::Face;
using t3ds::FaceGroup;
using t3ds::Material;
using t3ds::Mesh;
using testing_support::ConvertToModel;

Mesh Triangle(const std::string& name, const std::string& material) {
  Mesh mesh{name, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}, {}, {}};
  if (!material.empty()) mesh.groups.push_back({material, {0}});
  return mesh;
}

Material Plain(const std::string& name) {
  return {name,
          t3ds::Color{0.1f, 0.2f, 0.3f},
          t3ds::Color{0.4f, 0.5f, 0.6f},
          t3ds::Color{0.7f, 0.8f, 0.9f},
          50,
          false,
          "tex.png"};
}

TEST(Conversion, MeshWithoutGroupsGoesToTheWhiteTwoSidedDefault) {
  const torvik::Model model = ConvertToModel(t3ds::BuildFile({}, {Triangle("T", "")}));
  ASSERT_EQ(model.NumPolyLists(), 1u);
  const torvik::POLYGONLIST& material = model.PolyList()[0];
  EXPECT_EQ(material.name, "QZ_DEFAULT");
  EXPECT_EQ(material.texturename, "");
  EXPECT_EQ(material.doublesided, 1);
  for (const torvik::RGB& c : {material.ambient, material.diffuse, material.specular}) {
    EXPECT_EQ(c.red, 1.0f);
    EXPECT_EQ(c.alpha, 1.0f);
  }
  ASSERT_EQ(material.NumTriangles(), 2u);  // the face and its reversed copy
  const torvik::SURFACE& copy = material.TriangleIndexList[1];
  EXPECT_EQ(std::vector<unsigned>({copy.p0, copy.p1, copy.p2}), std::vector<unsigned>({0, 1, 2}));
}

TEST(Conversion, SceneMaterialsKeepTheirOrderAndAlphaGoesToEveryColour) {
  const torvik::Model model =
      ConvertToModel(t3ds::BuildFile({Plain("A"), Plain("B")}, {Triangle("T", "B")}));
  ASSERT_EQ(model.NumPolyLists(), 2u);
  EXPECT_EQ(model.PolyList()[0].name, "A");
  EXPECT_EQ(model.PolyList()[1].name, "B");
  EXPECT_EQ(model.PolyList()[0].NumTriangles(), 0u);
  EXPECT_EQ(model.PolyList()[1].NumTriangles(), 1u);
  EXPECT_EQ(model.PolyList()[1].texturename, "tex.png");
  EXPECT_EQ(model.PolyList()[1].ambient.green, 0.2f);
  EXPECT_EQ(model.PolyList()[1].specular.alpha, 0.5f);
  EXPECT_EQ(model.PolyList()[1].diffuse.alpha, 0.5f);
}

TEST(Conversion, AxesAreExchangedWindingReversedAndNumberingRunsAcrossMeshes) {
  Mesh first{"First", {}, {}, {}, {}};
  for (int i = 0; i < 8; ++i) first.vertices.push_back({static_cast<float>(i), 2, 3});
  first.faces = {{0, 1, 2}};
  first.groups = {{"A", {0}}};
  first.uvs = {{0.5f, 0.25f}};  // shorter than the vertex list
  Mesh second{"Second", {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}, {{0, 1, 2}}, {}, {{"A", {0}}}};
  const torvik::Model model = ConvertToModel(t3ds::BuildFile({Plain("A")}, {first, second}));
  ASSERT_EQ(model.NumVertex(), 11u);
  const torvik::VERTEX& v = model.VertexList()[8];
  EXPECT_EQ(v.x, 1.0f);
  EXPECT_EQ(v.y, 3.0f);
  EXPECT_EQ(v.z, 2.0f);
  EXPECT_EQ(model.VertexList()[0].u, 0.5f);
  EXPECT_EQ(model.VertexList()[0].v, 0.25f);
  EXPECT_EQ(model.VertexList()[1].u, 0.0f);  // no pair: zero
  EXPECT_EQ(model.VertexList()[8].u, 0.0f);  // no mapping list at all
  // The first mesh's face lies on a line and is dropped; the second's is
  // (0, 1, 2) shifted by 8 with its last two corners exchanged.
  ASSERT_EQ(model.PolyList()[0].NumTriangles(), 1u);
  const torvik::SURFACE& s = model.PolyList()[0].TriangleIndexList[0];
  EXPECT_EQ(std::vector<unsigned>({s.p0, s.p1, s.p2}), std::vector<unsigned>({8, 10, 9}));
  EXPECT_EQ(model.DegenerateDropped(), 1u);
}

// The normals are computed mesh by mesh; they must come out as the whole
// model's walk gives them (materials from last to first, each material's
// triangles from last to first), whatever the order of a mesh's groups, with
// a material's groups split and interleaved, two-sided copies and
// degenerate triangles.  The reference is the model built triangle by
// triangle through the public calls.
TEST(Conversion, NormalsMeshByMeshAreThoseOfTheWholeModelsWalk) {
  std::vector<Mesh> meshes;
  for (int m = 0; m < 2; ++m) {
    Mesh torus = t3ds::Torus("Ring" + std::to_string(m), 3, 1, 12, 8, {0, 0, 0.5f * m});
    torus.faces.push_back({0, 0, 1});  // degenerate
    std::vector<std::uint16_t> a1, b, a2;
    for (std::uint16_t f = 0; f < torus.faces.size(); ++f)
      (f < 60 ? a1 : f < 130 ? b : a2).push_back(f);
    torus.groups = m == 0 ? std::vector<FaceGroup>{{"A", a1}, {"B", b}, {"A", a2}}
                          : std::vector<FaceGroup>{{"B", a2}, {"A", a1}, {"B", b}};
    meshes.push_back(torus);
  }
  Material two_sided = Plain("B");
  two_sided.two_sided = true;
  const std::vector<std::uint8_t> file = t3ds::BuildFile({Plain("A"), two_sided}, meshes);
  const torvik::Model model = ConvertToModel(file);

  torvik::Model reference;
  const torvik::RGB grey{0.5f, 0.5f, 0.5f, 1};
  reference.OutGLAddMaterial(grey, grey, grey, "A", "", 0);
  reference.OutGLAddMaterial(grey, grey, grey, "B", "", 1);
  torvik::dword first = 0;
  for (const torvik::H3dsMeshObj& mesh : torvik::HRead3dsScene(file).meshobjlist) {
    for (const torvik::H3dsVert& v : mesh.vertlist)
      reference.OutGLAddVertex({0, 0, 0, 0, 0, v.x, v.z, v.y});
    for (const torvik::H3dsMatList& group : mesh.bindings)
      for (const torvik::uword f : group.faces) {
        const torvik::H3dsFace& face = mesh.facelist[f];
        reference.OutGLAddPolygon({face.p0 + first, face.p2 + first, face.p1 + first}, group.name);
      }
    first += static_cast<torvik::dword>(mesh.vertlist.size());
  }
  reference.OutGLFinishModel(1);

  EXPECT_EQ(model.DegenerateDropped(), reference.DegenerateDropped());
  ASSERT_EQ(model.NumVertex(), reference.NumVertex());
  for (std::size_t i = 0; i < model.NumVertex(); ++i) {
    const torvik::VERTEX& got = model.VertexList()[i];
    const torvik::VERTEX& want = reference.VertexList()[i];
    EXPECT_TRUE(got.nx == want.nx && got.ny == want.ny && got.nz == want.nz) << "vertex " << i;
  }
  for (std::size_t m = 0; m < 2; ++m) {
    const std::vector<torvik::SURFACE>& got = model.PolyList()[m].TriangleIndexList;
    const std::vector<torvik::SURFACE>& want = reference.PolyList()[m].TriangleIndexList;
    ASSERT_EQ(got.size(), want.size()) << "material " << m;
    for (std::size_t t = 0; t < got.size(); ++t)
      EXPECT_TRUE(got[t].p0 == want[t].p0 && got[t].p1 == want[t].p1 && got[t].p2 == want[t].p2 &&
                  got[t].n0 == want[t].n0 && got[t].n1 == want[t].n1 && got[t].n2 == want[t].n2)
          << "material " << m << " triangle " << t;
  }
}

TEST(Conversion, DefaultMaterialComesFirstWhenAnyMeshNeedsIt) {
  const torvik::Model model = ConvertToModel(
      t3ds::BuildFile({Plain("A")}, {Triangle("Grouped", "A"), Triangle("Bare", "")}));
  ASSERT_EQ(model.NumPolyLists(), 2u);
  EXPECT_EQ(model.PolyList()[0].name, "QZ_DEFAULT");
  EXPECT_EQ(model.PolyList()[1].name, "A");
  EXPECT_EQ(model.PolyList()[0].NumTriangles(), 2u);
  EXPECT_EQ(model.PolyList()[1].NumTriangles(), 1u);
}

TEST(Conversion, GroupNamingAMissingMaterialGoesToTheDefault) {
  Mesh mesh = Triangle("T", "Missing");
  mesh.groups.push_back({"Empty", {}});  // an unknown name without faces counts too
  const torvik::Model model = ConvertToModel(t3ds::BuildFile({Plain("A")}, {mesh}));
  ASSERT_EQ(model.NumPolyLists(), 2u);
  EXPECT_EQ(model.PolyList()[0].name, "QZ_DEFAULT");
  EXPECT_EQ(model.PolyList()[0].NumTriangles(), 2u);

  const torvik::Model only_empty =
      ConvertToModel(t3ds::BuildFile({Plain("A")}, {Mesh{"E", {}, {}, {}, {{"Nope", {}}}}}));
  EXPECT_EQ(only_empty.NumPolyLists(), 2u);
}

TEST(Conversion, SceneMaterialNamedLikeTheDefaultLosesToIt) {
  Material custom = Plain("QZ_DEFAULT");
  const torvik::Model model = ConvertToModel(
      t3ds::BuildFile({custom}, {Triangle("Bare", ""), Triangle("G", "QZ_DEFAULT")}));
  ASSERT_EQ(model.NumPolyLists(), 2u);
  EXPECT_EQ(model.PolyList()[0].texturename, "");
  EXPECT_EQ(model.PolyList()[0].NumTriangles(), 4u);
  EXPECT_EQ(model.PolyList()[1].NumTriangles(), 0u);
}

TEST(Conversion, FacesReachTheModelOnlyThroughGroups) {
  Mesh mesh{"M",
            {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
            {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}},
            {},
            {{"A", {2, 2}}, {"B", {0}}}};
  const torvik::Model model = ConvertToModel(t3ds::BuildFile({Plain("A"), Plain("B")}, {mesh}));
  EXPECT_EQ(model.PolyList()[0].NumTriangles(), 2u);  // listed twice
  EXPECT_EQ(model.PolyList()[1].NumTriangles(), 1u);
}

// A closed box stored with outward faces, every face flagged 7 (the usual
// value): the exchange turns its normals inward, the file's own winding
// keeps them outward.
TEST(Conversion, KeptFileWindingGivesAClosedFlagSevenMeshOutwardNormals) {
  Mesh box = t3ds::Box("Box", {-1, -1, -1}, {1, 1, 1});
  const std::vector<std::uint8_t> plain = t3ds::BuildFile({}, {box});
  for (Face& face : box.faces) face.flags = 7;
  const std::vector<std::uint8_t> flagged = t3ds::BuildFile({}, {box});
  const auto outward = [](const torvik::Model& model) {
    int count = 0;
    for (const torvik::VERTEX& v : model.VertexList())
      count += v.nx * v.x + v.ny * v.y + v.nz * v.z > 0 ? 1 : 0;
    return count;
  };
  const auto convert = [](const std::vector<std::uint8_t>& bytes, bool keep) {
    return torvik::convert_to_outgl(torvik::HRead3dsScene(bytes, {.keep_file_winding = keep}));
  };
  EXPECT_EQ(outward(convert(plain, false)), 8);
  EXPECT_EQ(outward(convert(flagged, false)), 0);
  EXPECT_EQ(outward(convert(flagged, true)), 8);
  EXPECT_EQ(outward(convert(plain, true)), 8);
}

TEST(Conversion, EmptySceneGivesAnEmptyModel) {
  const torvik::Model model = ConvertToModel(t3ds::BuildFile({}, {}));
  EXPECT_EQ(model.NumPolyLists(), 0u);
  EXPECT_EQ(model.NumVertex(), 0u);
}

}  // namespace
