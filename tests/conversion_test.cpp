// Scene to model: materials, axes, winding, vertex numbering, default material.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <utility>

#include "animated_demo.h"
#include "keyframer_demo.h"
#include "shapes.h"
#include "test_support.h"
#include "threeds_builder.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/errors.h"

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

// The keyframer's placement at frame 0, checked against positions worked out
// by hand from the gate's nodes (see KeyframerDemo).
torvik::H3dsScene ReadGate(const t3ds::Scene& gate) {
  return torvik::HRead3dsScene(t3ds::BuildFile(gate.materials, gate.meshes, gate.nodes),
                               {.keep_file_winding = true, .keyframer = true});
}

void ExpectVertex(const torvik::H3dsMeshObj& mesh, std::size_t i, float x, float y, float z) {
  ASSERT_LT(i, mesh.vertlist.size());
  EXPECT_NEAR(mesh.vertlist[i].x, x, 1e-5) << mesh.name << " " << i;
  EXPECT_NEAR(mesh.vertlist[i].y, y, 1e-5) << mesh.name << " " << i;
  EXPECT_NEAR(mesh.vertlist[i].z, z, 1e-5) << mesh.name << " " << i;
}

// Six times the volume the faces enclose, positive when they face outward.
double SignedVolume(const torvik::H3dsMeshObj& mesh) {
  double sum = 0;
  for (const torvik::H3dsFace& f : mesh.facelist) {
    const torvik::H3dsVert &a = mesh.vertlist[f.p0], &b = mesh.vertlist[f.p1],
                           &c = mesh.vertlist[f.p2];
    sum += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) +
           a.z * (b.x * c.y - b.y * c.x);
  }
  return sum;
}

TEST(KeyframerPlacement, DrawsEveryNodeWhereHandComputedPositionsSay) {
  t3ds::Scene gate = t3ds::KeyframerDemo();
  // A mesh whose matrix is singular keeps its stored vertices, with a warning.
  gate.meshes.push_back(t3ds::Box("Flat", {7, 7, 0}, {8, 8, 1}));
  gate.meshes.back().matrix = std::array<float, 12>{};
  gate.nodes.push_back({.id = 8, .name = "Flat", .position = t3ds::Vec3{0, -5, 0}});
  torvik::H3dsScene scene = ReadGate(gate);
  const torvik::H3dsScene stored = scene;

  const torvik::ScenePlacement placement = torvik::PlaceScene(scene);
  ASSERT_EQ(placement.warnings.size(), 1u);
  EXPECT_EQ(placement.warnings[0],
            "mesh 'Flat' has a singular matrix: its stored vertices are kept");
  ASSERT_EQ(placement.nodes.size(), 9u);
  EXPECT_TRUE(placement.unplaced_meshes.empty());
  EXPECT_EQ(placement.nodes[1].name, "Pillar.2");
  EXPECT_EQ(placement.nodes[2].name, "Frame");
  EXPECT_EQ(placement.nodes[2].mesh, -1);
  EXPECT_EQ(placement.nodes[3].parent, 2);
  EXPECT_EQ(placement.nodes[3].world[11], 3.0);  // 2 from the dummy, 1 of its own

  const torvik::KeyframerEffect effect = torvik::MeasureKeyframer(scene, placement);
  EXPECT_EQ(effect.nodes, 9u);
  EXPECT_EQ(effect.instances, 2u);  // Pillar.2, Block.2
  EXPECT_EQ(effect.moved, 3u);      // Roof, Door, Crate

  torvik::DrawPlacedMeshes(scene, placement);
  const auto& drawn = scene.meshobjlist;
  ASSERT_EQ(drawn.size(), 8u);  // file order, each once per node
  const char* names[] = {"Pillar", "Pillar", "Roof", "Door", "Crate", "Block", "Block", "Flat"};
  for (std::size_t m = 0; m < drawn.size(); ++m) EXPECT_EQ(drawn[m].name, names[m]);
  // Box vertex 0 is the low corner, vertex 7 the high one.
  ExpectVertex(drawn[0], 0, -3.4f, -0.4f, 0);  // at the edit pose
  ExpectVertex(drawn[1], 0, 2.6f, -0.4f, 0);   // 6 to +x
  ExpectVertex(drawn[2], 7, 4, 1.2f, 3.4f);    // lifted by 3
  // The door, 2 wide and 0.2 thick, hinged at (-1, 0, 0), turned 60 degrees
  // clockwise: its far edge goes to (-1 + 2 cos 60, -2 sin 60).
  const float c = 0.5f, s = 0.8660254f;
  ExpectVertex(drawn[3], 7, -1 + 2 * c + 0.1f * s, -2 * s + 0.1f * c, 2.4f);
  ExpectVertex(drawn[3], 0, -1 - 0.1f * s, -0.1f * c, 0);
  ExpectVertex(drawn[4], 7, 0.75f, 3.75f, 1.5f);  // scaled 1.5 about (0, 3, 0)
  ExpectVertex(drawn[5], 0, 4.5f, -0.5f, 0);      // mirrored twice: as stored
  ExpectVertex(drawn[6], 0, 5.5f, -3.5f, 0);      // mirrored about x = 5, 3 to -y
  ExpectVertex(drawn[7], 0, 7, 7, 0);
  // Faces keep their side: the mirrored copy has its corners reversed.
  for (std::size_t m = 0; m < drawn.size(); ++m) EXPECT_GT(SignedVolume(drawn[m]), 0) << m;
  EXPECT_EQ(drawn[5].facelist[0].p1, stored.meshobjlist[4].facelist[0].p1);
  EXPECT_EQ(drawn[6].facelist[0].p1, stored.meshobjlist[4].facelist[0].p2);
}

TEST(KeyframerPlacement, InconsistentNodesPlaceEveryMeshAsStored) {
  const auto broken = [](const std::function<void(std::vector<t3ds::Node>&)>& edit) {
    t3ds::Scene gate = t3ds::KeyframerDemo();
    edit(gate.nodes);
    return ReadGate(gate);
  };
  const std::vector<std::uint8_t> plain =
      torvik::OutGLBMFBytes(torvik::convert_to_outgl(broken([](auto& nodes) { nodes.clear(); })));
  const std::vector<std::pair<std::string, std::function<void(std::vector<t3ds::Node>&)>>> cases = {
      {"node 3 ('Roof') names the parent 9, which does not exist",
       [](auto& nodes) { nodes[3].parent = 9; }},
      {"node 2 ('$$$DUMMY') is its own ancestor", [](auto& nodes) { nodes[2].parent = 3; }},
      {"two nodes have the id 1", [](auto& nodes) { nodes[2].id = 1; }},
  };
  for (const auto& [warning, edit] : cases) {
    torvik::H3dsScene scene = broken(edit);
    const torvik::ScenePlacement placement = torvik::PlaceScene(scene);
    EXPECT_TRUE(placement.nodes.empty());
    EXPECT_EQ(placement.unplaced_meshes.size(), scene.meshobjlist.size());
    ASSERT_EQ(placement.warnings.size(), 1u);
    EXPECT_EQ(placement.warnings[0], "the keyframer is ignored: " + warning);
    torvik::ConversionStats stats;
    const std::vector<std::uint8_t> bytes = torvik::OutGLBMFBytes(
        torvik::convert_to_outgl(std::move(scene), &stats, {.keyframer = true}));
    EXPECT_EQ(bytes, plain) << warning;
    EXPECT_EQ(stats.keyframer_warnings, placement.warnings);
  }
  // Without a keyframer the option changes nothing.
  EXPECT_EQ(torvik::OutGLBMFBytes(torvik::convert_to_outgl(
                broken([](auto& nodes) { nodes.clear(); }), nullptr, {.keyframer = true})),
            plain);
}

// A NaN or an infinity in a track or pivot ignores that track or pivot,
// with a warning naming the node; a placement that would draw a mesh beyond
// what a float holds keeps its stored vertices.  Neither moves a mesh, and
// a stored vertex that is NaN never counts as moved.
TEST(KeyframerPlacement, NonFiniteValuesAreIgnoredWithAWarningAndMoveNothing) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  torvik::H3dsScene scene = ReadGate(t3ds::KeyframerDemo());
  scene.nodes[3].pivot[0] = kNaN;  // Roof: still lifted by its dummy
  scene.nodes[3].position[2] = -kInfinity;
  scene.nodes[4].rotation_angle = kNaN;  // Door: shut, as stored
  scene.nodes[5].scale[1] = kInfinity;   // Crate: unscaled, as stored
  scene.nodes[0].has_scale = true;       // Pillar: past any float
  std::fill_n(scene.nodes[0].scale, 3, 3e38f);
  scene.meshobjlist[0].vertlist.push_back({kNaN, 0, 0});  // used by no face

  const torvik::ScenePlacement placement = torvik::PlaceScene(scene);
  EXPECT_EQ(placement.warnings,
            (std::vector<std::string>{
                "node 3 ('Roof') has values that are not finite numbers in its pivot and "
                "position track, which are ignored",
                "node 4 ('Door') has values that are not finite numbers in its rotation track, "
                "which is ignored",
                "node 5 ('Crate') has values that are not finite numbers in its scale track, "
                "which is ignored",
                "node 0 ('Pillar') would draw its mesh beyond the numbers a float holds: the "
                "stored vertices are kept"}));
  EXPECT_EQ(placement.nodes[3].world[11], 2.0);
  const torvik::KeyframerEffect effect = torvik::MeasureKeyframer(scene, placement);
  EXPECT_EQ(effect.instances, 2u);
  EXPECT_EQ(effect.moved, 1u);  // the roof
  torvik::DrawPlacedMeshes(scene, placement);
  std::size_t non_finite = 0;
  for (const torvik::H3dsMeshObj& mesh : scene.meshobjlist)
    for (const torvik::H3dsVert& v : mesh.vertlist)
      non_finite += std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) ? 0 : 1;
  EXPECT_EQ(non_finite, 2u);  // the stored NaN, in each pillar

  // The first ten such nodes are named, the others counted.
  torvik::H3dsScene many = ReadGate(t3ds::KeyframerDemo());
  for (torvik::uword id = 10; id < 22; ++id) {
    torvik::H3dsNode& node = many.nodes.emplace_back(many.nodes[5]);
    node.id = id;
    node.position[0] = kNaN;
  }
  const std::vector<std::string> warnings = torvik::PlaceScene(many).warnings;
  ASSERT_EQ(warnings.size(), 11u);
  EXPECT_EQ(warnings.back(), "2 more nodes have values that are not finite numbers, ignored alike");
}

// The hierarchy check, the placement and the cameras' targets take time in
// proportion to the nodes, however deep they hang: a chain of 65,535 nodes
// and 20,000 cameras before their targets are placed at once.
TEST(KeyframerPlacement, DeepChainsAndManyCamerasArePlacedInLinearTime) {
  torvik::H3dsScene scene = torvik::HRead3dsScene(
      t3ds::BuildFile({}, {t3ds::Box("Box", {0, 0, 0}, {1, 1, 1})}), {.keyframer = true});
  constexpr std::size_t kChain = 65535;
  for (std::size_t i = 0; i < kChain; ++i) {
    torvik::H3dsNode& node = scene.nodes.emplace_back();
    node.id = static_cast<torvik::uword>(i);
    node.parent = i == 0 ? 0xFFFF : static_cast<torvik::uword>(i - 1);
    node.name = i + 1 == kChain ? "Box" : torvik::kDummyNodeName;
    node.has_position = true;
    node.position[0] = 1;
  }
  torvik::ScenePlacement placement = torvik::PlaceScene(scene);
  EXPECT_TRUE(placement.warnings.empty());
  ASSERT_EQ(placement.nodes.size(), kChain);
  EXPECT_EQ(placement.nodes.back().world[3], static_cast<double>(kChain));
  EXPECT_EQ(torvik::MeasureKeyframer(scene, placement).moved, 1u);

  // Closed into a ring, the chain can't be placed; of nodes hanging from a
  // cycle, the first node on it is named.
  scene.nodes[0].parent = kChain - 1;
  EXPECT_EQ(torvik::PlaceScene(scene).warnings,
            std::vector<std::string>{"the keyframer is ignored: node 0 ('$$$DUMMY') is its own "
                                     "ancestor"});
  scene.nodes.resize(3);
  scene.nodes[0].parent = 1, scene.nodes[1].parent = 2, scene.nodes[2].parent = 1;
  EXPECT_EQ(torvik::PlaceScene(scene).warnings,
            std::vector<std::string>{"the keyframer is ignored: node 1 ('$$$DUMMY') is its own "
                                     "ancestor"});

  // Each camera looks at the next target of its name: the targets come after
  // all the cameras, in reverse order, each in a direction of its own; of
  // two cameras named alike, each takes the target that follows it.
  constexpr std::size_t kCameras = 20000;
  scene.nodes.clear();
  const auto add = [&](torvik::uword kind, const std::string& name, double angle) {
    torvik::H3dsNode& node = scene.nodes.emplace_back();
    node.kind = kind;
    node.id = static_cast<torvik::uword>(scene.nodes.size() - 1);
    node.name = name;
    node.has_position = true;
    node.position[0] = static_cast<float>(std::cos(angle));
    node.position[1] = static_cast<float>(std::sin(angle));
  };
  const auto angle_of = [](std::size_t i) { return 1e-4 * static_cast<double>(i); };
  for (std::size_t i = 0; i < kCameras; ++i) add(0xB003, std::to_string(i), 0);
  for (std::size_t i = kCameras; i-- > 0;) add(0xB004, std::to_string(i), angle_of(i));
  for (std::size_t twin = 0; twin < 2; ++twin) {
    add(0xB003, "Twin", 0);
    add(0xB004, "Twin", 2.0 + static_cast<double>(twin));
  }
  for (torvik::H3dsNode& node : scene.nodes)
    if (node.kind == 0xB003) std::fill_n(node.position, 3, 0.0f);
  placement = torvik::PlaceScene(scene);
  ASSERT_EQ(placement.nodes.size(), scene.nodes.size());
  const auto looks_at = [&](std::size_t camera, double angle) {
    // The view runs along the camera's -z axis.
    const torvik::Affine& m = placement.nodes[camera].world;
    return std::fabs(-m[2] - std::cos(angle)) < 1e-6 && std::fabs(-m[6] - std::sin(angle)) < 1e-6;
  };
  for (const std::size_t i : {std::size_t{0}, std::size_t{1}, kCameras / 2, kCameras - 1})
    EXPECT_TRUE(looks_at(i, static_cast<double>(static_cast<float>(angle_of(i))))) << i;
  EXPECT_TRUE(looks_at(2 * kCameras, 2.0));
  EXPECT_TRUE(looks_at(2 * kCameras + 2, 3.0));
}

// Instances copy their mesh, so the drawing is refused before anything is
// copied when it would pass the caller's limit of faces (or vertices); the
// meshes as stored always pass.
TEST(KeyframerPlacement, PlacementPastTheLimitIsRefusedBeforeAnythingIsDrawn) {
  const t3ds::Scene gate = t3ds::KeyframerDemo();
  torvik::H3dsScene scene = ReadGate(gate);
  const torvik::ScenePlacement placement = torvik::PlaceScene(scene);
  const torvik::PlacedSize size = torvik::MeasurePlacedSize(scene, placement);
  EXPECT_EQ(size.faces, 84u);  // seven boxes of twelve triangles
  EXPECT_EQ(size.vertices, 56u);
  try {
    torvik::DrawPlacedMeshes(scene, placement, 83);
    ADD_FAILURE() << "drawn past the limit";
  } catch (const torvik::PlacementTooLarge& error) {
    EXPECT_EQ(error.kind, torvik::Error::Kind::too_large);
    EXPECT_EQ(std::string(error.what()),
              "the keyframer would draw 84 faces, more than the 83 allowed");
    EXPECT_EQ(error.count, 84u);
  }
  EXPECT_EQ(scene.meshobjlist.size(), 5u);  // nothing drawn
  torvik::H3dsScene dotted = scene;
  dotted.meshobjlist[0].vertlist.resize(100);  // the pillar, drawn twice
  try {
    torvik::DrawPlacedMeshes(dotted, torvik::PlaceScene(dotted), 100);
    ADD_FAILURE() << "drawn past the limit";
  } catch (const torvik::PlacementTooLarge& error) {
    EXPECT_EQ(std::string(error.counted) + " " + std::to_string(error.count), "vertices 240");
  }
  torvik::DrawPlacedMeshes(scene, placement, 84);
  EXPECT_EQ(scene.meshobjlist.size(), 7u);

  t3ds::Scene single = gate;  // no instances: each mesh drawn once
  single.nodes.erase(single.nodes.begin() + 7);
  single.nodes.erase(single.nodes.begin() + 1);
  torvik::H3dsScene once = ReadGate(single);
  torvik::DrawPlacedMeshes(once, torvik::PlaceScene(once), 1);
  EXPECT_EQ(once.meshobjlist.size(), 5u);
  EXPECT_THROW(torvik::convert_to_outgl(ReadGate(gate), nullptr,
                                        {.keyframer = true, .max_placed_faces = 83}),
               torvik::PlacementTooLarge);
}

// The animated turntable (AnimatedDemo), read with its tracks.
torvik::H3dsScene ReadTurntable() {
  return torvik::HRead3dsScene(t3ds::BuildFile(t3ds::AnimatedDemo()), {.keep_file_winding = true,
                                                                       .keyframer = true,
                                                                       .animation = true,
                                                                       .cameras_and_lights = true});
}

bool SameBits(const torvik::Affine& a, const torvik::Affine& b) {
  return std::memcmp(a.data(), b.data(), sizeof a) == 0;
}

// The drawn mesh of the given name at `frame`, or none (hidden).
std::optional<torvik::H3dsMeshObj> DrawnAt(const torvik::H3dsScene& scene, double frame,
                                           const std::string& name) {
  torvik::H3dsScene drawn = scene;
  torvik::DrawPlacedMeshes(drawn, torvik::PlaceSceneAt(scene, frame));
  for (const torvik::H3dsMeshObj& mesh : drawn.meshobjlist)
    if (mesh.name == name) return mesh;
  return std::nullopt;
}

// Frame 0 of the animation is the placement at frame 0, bit for bit; later
// frames put the rider (a child of the turning arm, pivoted) where its
// curve, worked out by hand, says.
TEST(KeyframerAnimation, ChildDrawnWhereHandComputedCurvesSay) {
  const torvik::H3dsScene scene = ReadTurntable();
  const torvik::ScenePlacement still = torvik::PlaceScene(scene);
  const torvik::ScenePlacement first = torvik::PlaceSceneAt(scene, 0);
  ASSERT_EQ(first.nodes.size(), still.nodes.size());
  for (std::size_t i = 0; i < still.nodes.size(); ++i) {
    EXPECT_TRUE(SameBits(first.nodes[i].local, still.nodes[i].local)) << i;
    EXPECT_TRUE(SameBits(first.nodes[i].mesh_placement, still.nodes[i].mesh_placement)) << i;
  }
  // The rider's stored box runs from (3.7, -0.3, 1.4), its frame's origin
  // at (4, 0, 1.7); its node places that origin at P in the arm's frame,
  // which turns about (0.5, 0, 1).  Its low corner is drawn at
  // (0.5, 0, 1) + Rz(arm angle) (P + (-0.3, -0.3, -0.3)).
  const auto expect_corner = [&](double frame, double angle, double px, double pz) {
    const std::optional<torvik::H3dsMeshObj> rider = DrawnAt(scene, frame, "Rider");
    ASSERT_TRUE(rider);
    const double x = px - 0.3, y = -0.3, z = pz - 0.3;
    const double c = std::cos(angle), s = std::sin(angle);
    ExpectVertex(*rider, 0, static_cast<float>(0.5 + c * x - s * y),
                 static_cast<float>(s * x + c * y), static_cast<float>(1 + z));
  };
  const double pi = 3.14159265358979323846;
  // Frame 0: the key A = (3.5, 0, 0.7), the arm unturned: as stored.
  expect_corner(0, 0, 3.5, 0.7);
  // Frame 30, halfway from A to B = (2, 0, 1.7): A's ease from of 0.5 makes
  // u = 1/2 into k (2u - a) = 1/3 (k = 1 / (2 - 0.5)); the Hermite weights
  // at 1/3 are 20/27, 7/27, 4/27 and -2/27 of A, B, the tangent leaving A
  // (B - A, A being first) and the one arriving at B (tension 0.5:
  // 0.25 (B - A) + 0.25 (C - B) = (0, 0, 0.125)).  The arm's keys turn it
  // 2 pi / 3 every 40 frames, evenly: a quarter turn at frame 30.
  expect_corner(30, pi / 2, (20 * 3.5 + 7 * 2 + 4 * -1.5) / 27.0,
                (20 * 0.7 + 7 * 1.7 + 4 * 1 - 2 * 0.125) / 27.0);
  // Frame 60: the key B, half a turn.
  expect_corner(60, pi, 2, 1.7);
  // Frame 90, halfway from B to C = (3.5, 0, 1.2) without ease: weights
  // 1/2, 1/2, 1/8, -1/8 of B, C, the tangent leaving B (0.25 (C - A)) and
  // the one arriving at C (C - B, C being last).
  expect_corner(90, 3 * pi / 2, 0.5 * 2 + 0.5 * 3.5 + 0.125 * 0 - 0.125 * 1.5,
                0.5 * 1.7 + 0.5 * 1.2 + 0.125 * 0.125 - 0.125 * -0.5);
  // Frame 120 and after: the last keys, a whole turn.
  expect_corner(150, 2 * pi, 3.5, 1.2);

  // The flag is hidden from frame 60 until frame 90.
  for (const double frame : {0.0, 59.5, 60.0, 89.0, 90.0, 120.0})
    EXPECT_EQ(DrawnAt(scene, frame, "Flag").has_value(), frame < 60 || frame >= 90) << frame;
  // The arm and the rider move, the ground never; the camera and its
  // target by their own keys, the lights not at all.
  const torvik::NodeAnimation animation(scene, still);
  std::vector<bool> moves;
  for (std::size_t i = 0; i < still.nodes.size(); ++i) moves.push_back(animation.Moves(i));
  EXPECT_EQ(moves, (std::vector<bool>{false, true, true, false, true, true, false, false, false}));
  EXPECT_TRUE(animation.Hides(3));
  EXPECT_EQ(animation.KeyFrames(2), (std::vector<std::uint32_t>{0, 60, 120}));
  EXPECT_EQ(animation.KeyFrames(4), (std::vector<std::uint32_t>{0, 30, 60, 90, 120}));
  EXPECT_EQ(torvik::AnimationFrames(scene.animation), (std::array<std::uint32_t, 2>{0, 120}));
}

// Each rotation key turns the orientation of the key before it about its
// axis in the parent's frame, however large its angle; a repeating track
// runs its keys again.
TEST(KeyframerAnimation, RotationKeysTurnTheOrientationBeforeThem) {
  const double pi = 3.14159265358979323846;
  t3ds::Mesh box = t3ds::Box("Box", {0, 0, 0}, {1, 1, 1});
  t3ds::Mesh wheel = t3ds::Box("Wheel", {0, 0, 0}, {1, 1, 1});
  // A quarter turn about z (clockwise as stored, so -pi/2 turns
  // counter-clockwise), then a quarter turn about x; repeating.
  t3ds::Node turned{.id = 0, .name = "Box"};
  turned.rotation_keys = {{.frame = 0, .value = {static_cast<float>(-pi / 2), 0, 0, 1}},
                          {.frame = 10, .value = {static_cast<float>(-pi / 2), 1, 0, 0}}};
  turned.track_flags = torvik::kTrackRepeats;
  // Three quarters of a turn about x in one key: the long way round, evenly
  // (two keys: each tangent is the one turn).
  t3ds::Node spun{.id = 1, .name = "Wheel"};
  spun.rotation_keys = {{.frame = 0, .value = {0, 1, 0, 0}},
                        {.frame = 30, .value = {static_cast<float>(3 * pi / 2), 1, 0, 0}}};
  const torvik::H3dsScene scene = torvik::HRead3dsScene(
      t3ds::BuildFile({}, {box, wheel}, {turned, spun}), {.keyframer = true, .animation = true});
  // Where a corner of the box or wheel is drawn.
  const auto corner = [&](const char* name, double frame, float x, float y, float z) {
    const torvik::H3dsMeshObj& stored = scene.meshobjlist[name[0] == 'B' ? 0 : 1];
    std::size_t i = 0;
    while (!(stored.vertlist[i].x == x && stored.vertlist[i].y == y && stored.vertlist[i].z == z))
      ++i;
    return DrawnAt(scene, frame, name)->vertlist[i];
  };
  // Rz(90) takes (1, 0, 0) to (0, 1, 0); then Rx(90), in the parent's
  // frame, takes that to (0, 0, 1).
  const torvik::H3dsVert at0 = corner("Box", 0, 1, 0, 0), at10 = corner("Box", 10, 1, 0, 0);
  EXPECT_NEAR(at0.x, 0, 1e-6);
  EXPECT_NEAR(at0.y, 1, 1e-6);
  EXPECT_NEAR(at10.y, 0, 1e-6);
  EXPECT_NEAR(at10.z, 1, 1e-6);
  // Repeating: frame 10 + 4 is frame 4 again.
  const torvik::H3dsVert at4 = corner("Box", 4, 1, 0, 0), at14 = corner("Box", 14, 1, 0, 0);
  EXPECT_EQ(at14.y, at4.y);
  EXPECT_EQ(at14.z, at4.z);
  // The wheel's corner (0, 0, 1) turns by -270 degrees about x (Rx(a) takes
  // it to (0, -sin a, cos a)): -90 at frame 10, -135 at 15, -270 at 30.
  for (const double frame : {10.0, 15.0, 30.0}) {
    const double a = -3 * pi / 2 * frame / 30;
    const torvik::H3dsVert p = corner("Wheel", frame, 0, 0, 1);
    EXPECT_NEAR(p.y, -std::sin(a), 1e-5) << frame;
    EXPECT_NEAR(p.z, std::cos(a), 1e-5) << frame;
  }

  // A real file: the cube's 182 keys of small turns; after its 61st key
  // (frame 60) it has turned 0.8266 radians about x, the signed sum of the
  // keys' angles, as a general reader finds.
  for (const std::string& path : testing_support::CorpusFiles()) {
    if (path.find("RotatingCube") == std::string::npos) continue;
    const torvik::H3dsScene cube =
        torvik::ReadSceneFile(path, {.keyframer = true, .animation = true});
    double sum = 0;
    for (std::size_t k = 0; k <= 60; ++k) {
      const auto& value = cube.animation.tracks[0].rotation.keys[k].value;
      sum += value[0] * value[1];  // every axis of these keys is +x or -x
    }
    EXPECT_NEAR(sum, -0.8266, 1e-4);
    const torvik::Affine turn = torvik::PlaceSceneAt(cube, 60).nodes[0].local;
    EXPECT_NEAR(std::acos(turn[5]), 0.8266, 1e-4);  // cos of the angle about x
    EXPECT_NEAR(turn[9], std::sin(0.8266), 1e-4);
  }
}

TEST(OrientOutward, ReversesOnlyMeshesClearlyFacingInward) {
  Mesh inward = t3ds::Box("In", {0, 0, 0}, {1, 1, 1});
  for (Face& face : inward.faces) std::swap(face.b, face.c);
  Mesh outward = t3ds::Box("Out", {2, 0, 0}, {3, 1, 1});
  Mesh flat = t3ds::Quad("Flat", {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
  // Half its faces turned: ambiguous, left alone.
  Mesh mixed = t3ds::Box("Mixed", {4, 0, 0}, {5, 1, 1});
  for (std::size_t f = 0; f < mixed.faces.size(); f += 2)
    std::swap(mixed.faces[f].b, mixed.faces[f].c);
  torvik::H3dsScene scene =
      torvik::HRead3dsScene(t3ds::BuildFile({}, {inward, outward, flat, mixed}));
  const torvik::H3dsScene before = scene;
  EXPECT_EQ(torvik::OrientOutward(scene), 1u);
  EXPECT_GT(SignedVolume(scene.meshobjlist[0]), 0);
  EXPECT_LT(SignedVolume(before.meshobjlist[0]), 0);
  for (std::size_t m = 1; m < 4; ++m)
    for (std::size_t f = 0; f < scene.meshobjlist[m].facelist.size(); ++f)
      EXPECT_EQ(scene.meshobjlist[m].facelist[f].p1, before.meshobjlist[m].facelist[f].p1);
}

}  // namespace
