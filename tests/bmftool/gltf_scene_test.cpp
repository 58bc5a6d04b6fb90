// The glTF of a 3DS scene as authored: the keyframer's nodes, names and
// hierarchy, meshes shared by their instances, the file's winding (and
// --orient-outward), smoothing groups, two-sided materials, colours and
// opacity, and textures embedded once.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>

#include "animated_demo.h"
#include "keyframer_demo.h"
#include "placement_scenes.h"
#include "shapes.h"
#include "test_support.h"
#include "threeds_builder.h"
#include "torvik32c/errors.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/gltf_export.h"
#include "torvik32c/keyframer_tracks.h"

namespace {

using torvik::BuildSceneGltf;
using torvik::GlbBytes;
using torvik::GltfDocument;
using torvik::GltfOptions;
using torvik::SceneGltfReadOptions;

using Json = nlohmann::ordered_json;
using Point = std::array<double, 3>;
// A column-major 4x4 matrix, as glTF writes them.
using Matrix = std::array<double, 16>;

torvik::H3dsScene SceneOf(const std::vector<std::uint8_t>& bytes) {
  return torvik::HRead3dsScene(bytes, SceneGltfReadOptions(1));
}

torvik::H3dsScene SceneOf(const t3ds::Scene& scene) {
  return SceneOf(t3ds::BuildFile(scene.materials, scene.meshes, scene.nodes));
}

template <class T>
std::vector<T> Elements(const GltfDocument& document, std::size_t accessor) {
  const Json& a = document.json["accessors"][accessor];
  const Json& view = document.json["bufferViews"][a["bufferView"].get<std::size_t>()];
  const std::string type = a["type"];
  const std::size_t components = type == "VEC4" ? 4 : type == "VEC3" ? 3 : 1;
  std::vector<T> data(a["count"].get<std::size_t>() * components);
  std::memcpy(data.data(), document.binary.data() + view["byteOffset"].get<std::size_t>(),
              data.size() * sizeof(T));
  return data;
}

std::vector<std::uint32_t> Indices(const GltfDocument& document, std::size_t accessor) {
  if (document.json["accessors"][accessor]["componentType"] == 5123) {
    const std::vector<std::uint16_t> narrow = Elements<std::uint16_t>(document, accessor);
    return {narrow.begin(), narrow.end()};
  }
  return Elements<std::uint32_t>(document, accessor);
}

Matrix Product(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) m[4 * c + r] += a[4 * k + r] * b[4 * c + k];
  return m;
}

Matrix LocalOf(const Json& node) {
  const std::vector<double> t = node.value("translation", std::vector<double>{0, 0, 0});
  const std::vector<double> q = node.value("rotation", std::vector<double>{0, 0, 0, 1});
  const std::vector<double> s = node.value("scale", std::vector<double>{1, 1, 1});
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                          {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                          {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
  Matrix m{};
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < 3; ++row) m[4 * c + row] = r[row][c] * s[c];
  m[12] = t[0], m[13] = t[1], m[14] = t[2], m[15] = 1;
  return m;
}

double Determinant3(const Matrix& m) {
  return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
         m[8] * (m[1] * m[6] - m[5] * m[2]);
}

// Where a drawn mesh ends up: its bounds and its signed volume (positive for
// a closed mesh whose faces look outward).
struct Drawing {
  Point low{INFINITY, INFINITY, INFINITY}, high{-INFINITY, -INFINITY, -INFINITY};
  double volume = 0;
  void Add(const Point& p) {
    for (int c = 0; c < 3; ++c) low[c] = std::min(low[c], p[c]), high[c] = std::max(high[c], p[c]);
  }
  void AddTriangle(const Point& a, const Point& b, const Point& c) {
    volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
               a[2] * (b[0] * c[1] - b[1] * c[0])) /
              6;
  }
  bool Near(const Drawing& other, double tolerance = 1e-4) const {
    for (int c = 0; c < 3; ++c)
      if (std::fabs(low[c] - other.low[c]) > tolerance ||
          std::fabs(high[c] - other.high[c]) > tolerance)
        return false;
    return std::fabs(volume - other.volume) <= 1e-4 * (1 + std::fabs(volume));
  }
};

std::ostream& operator<<(std::ostream& out, const Drawing& d) {
  return out << "[" << d.low[0] << " " << d.low[1] << " " << d.low[2] << " .. " << d.high[0] << " "
             << d.high[1] << " " << d.high[2] << " vol " << d.volume << "]";
}

// Every mesh the document draws, through the scene's nodes, as glTF's
// renderers draw it: a node whose world matrix mirrors turns its faces.
std::vector<Drawing> DrawingsOf(const GltfDocument& document) {
  const Json& json = document.json;
  std::vector<Drawing> drawings;
  const auto visit = [&](auto&& self, std::size_t index, const Matrix& parent) -> void {
    const Json& node = json["nodes"][index];
    const Matrix world = Product(parent, LocalOf(node));
    if (node.contains("mesh")) {
      const bool mirrored = Determinant3(world) < 0;
      Drawing drawing;
      for (const Json& primitive : json["meshes"][node["mesh"].get<std::size_t>()]["primitives"]) {
        const std::vector<float> p =
            Elements<float>(document, primitive["attributes"]["POSITION"].get<std::size_t>());
        std::vector<Point> placed;
        for (std::size_t i = 0; i + 2 < p.size(); i += 3) {
          Point q;
          for (int r = 0; r < 3; ++r)
            q[r] =
                world[r] * p[i] + world[4 + r] * p[i + 1] + world[8 + r] * p[i + 2] + world[12 + r];
          placed.push_back(q);
        }
        const std::vector<std::uint32_t> indices =
            Indices(document, primitive["indices"].get<std::size_t>());
        for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
          const Point &a = placed[indices[t]], &b = placed[indices[t + 1]],
                      &c = placed[indices[t + 2]];
          drawing.Add(a), drawing.Add(b), drawing.Add(c);
          mirrored ? drawing.AddTriangle(a, c, b) : drawing.AddTriangle(a, b, c);
        }
      }
      drawings.push_back(drawing);
    }
    for (const Json& child : node.value("children", Json::array()))
      self(self, child.get<std::size_t>(), world);
  };
  const Matrix identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  for (const Json& root : json["scenes"][0].value("nodes", Json::array()))
    visit(visit, root.get<std::size_t>(), identity);
  return drawings;
}

// The scene's meshes as they stand, in glTF's axes.
std::vector<Drawing> MeshDrawings(const torvik::H3dsScene& scene) {
  std::vector<Drawing> drawings;
  for (const torvik::H3dsMeshObj& mesh : scene.meshobjlist) {
    Drawing drawing;
    const auto at = [&](torvik::uword v) {
      const torvik::H3dsVert& p = mesh.vertlist[v];
      return Point{p.x, p.z, -static_cast<double>(p.y)};
    };
    for (const torvik::H3dsFace& face : mesh.facelist) {
      drawing.Add(at(face.p0)), drawing.Add(at(face.p1)), drawing.Add(at(face.p2));
      drawing.AddTriangle(at(face.p0), at(face.p1), at(face.p2));
    }
    drawings.push_back(drawing);
  }
  return drawings;
}

// The meshes as the library draws the placement, in glTF's axes.
std::vector<Drawing> LibraryDrawings(torvik::H3dsScene scene,
                                     const torvik::ScenePlacement& placement) {
  torvik::DrawPlacedMeshes(scene, placement);
  return MeshDrawings(scene);
}

void ExpectSameDrawings(std::vector<Drawing> gltf, const std::vector<Drawing>& library,
                        double tolerance = 1e-4) {
  ASSERT_EQ(gltf.size(), library.size());
  for (const Drawing& expected : library) {
    const auto found = std::find_if(gltf.begin(), gltf.end(),
                                    [&](const Drawing& d) { return d.Near(expected, tolerance); });
    ASSERT_NE(found, gltf.end()) << "no glTF drawing at " << expected;
    gltf.erase(found);
  }
}

std::vector<std::string> Names(const Json& items) {
  std::vector<std::string> names;
  for (const Json& item : items) names.push_back(item.value("name", ""));
  return names;
}

TEST(SceneGltf, NodesKeepNamesHierarchyAndShareMeshesWherever) {
  t3ds::Scene gate = t3ds::KeyframerDemo();
  gate.meshes.push_back(t3ds::Box("Loose", {8, 8, 0}, {9, 9, 1}));  // named by no node
  const torvik::H3dsScene scene = SceneOf(gate);
  const torvik::ScenePlacement placement = torvik::PlaceScene(scene);
  const GltfDocument document = BuildSceneGltf(scene, placement);
  const Json& json = document.json;

  // A node per keyframer node, by instance name or object name, then the mesh
  // without one; the roof hangs from the dummy "Frame".
  EXPECT_EQ(Names(json["nodes"]),
            (std::vector<std::string>{"Pillar", "Pillar.2", "Frame", "Roof", "Door", "Crate",
                                      "Block", "Block.2", "Loose"}));
  EXPECT_EQ(json["nodes"][2]["children"], Json::array({3}));
  EXPECT_FALSE(json["nodes"][2].contains("mesh"));
  EXPECT_EQ(json["scenes"][0]["nodes"], Json::array({0, 1, 2, 4, 5, 6, 7, 8}));
  // One glTF mesh per 3DS mesh, named by it, shared by its instances.
  EXPECT_EQ(Names(json["meshes"]),
            (std::vector<std::string>{"Pillar", "Roof", "Door", "Crate", "Block", "Loose"}));
  EXPECT_EQ(json["nodes"][0]["mesh"], 0);
  EXPECT_EQ(json["nodes"][1]["mesh"], 0);
  EXPECT_EQ(json["nodes"][6]["mesh"], 4);
  EXPECT_EQ(json["nodes"][7]["mesh"], 4);
  EXPECT_EQ(json["nodes"][8]["mesh"], 5);
  EXPECT_FALSE(json["nodes"][8].contains("translation"));
  // The nodes' own transforms: the second pillar 6 along x, the crate
  // scaled by 1.5, the mirrored block by a negative scale.
  EXPECT_EQ(json["nodes"][1]["translation"], Json::array({3.0, 0.0, 0.0}));
  EXPECT_EQ(json["nodes"][5]["scale"], Json::array({1.5, 1.5, 1.5}));
  EXPECT_LT(json["nodes"][6]["scale"][0].get<double>(), 0);

  // Drawn through the hierarchy, pivots and mesh matrices, every mesh lands
  // where the library's placement draws it, its faces on the same side.
  ExpectSameDrawings(DrawingsOf(document), LibraryDrawings(scene, placement));
  for (const Drawing& drawing : DrawingsOf(document)) EXPECT_GT(drawing.volume, 0);

  // Instances whose pivots differ still share their mesh: the second one
  // draws it through a child node that moves it by the difference.
  torvik::H3dsScene pivoted = scene;
  pivoted.nodes[1].pivot[0] += 0.25f;
  pivoted.nodes[1].pivot[1] -= 0.5f;
  const torvik::ScenePlacement moved = torvik::PlaceScene(pivoted);
  const GltfDocument shifted = BuildSceneGltf(pivoted, moved);
  const Json& pillar2 = shifted.json["nodes"][1];
  EXPECT_FALSE(pillar2.contains("mesh"));
  ASSERT_EQ(pillar2["children"].size(), 1u);
  const Json& child = shifted.json["nodes"][pillar2["children"][0].get<std::size_t>()];
  EXPECT_EQ(child["mesh"], 0);
  const std::vector<double> offset = child["translation"];
  EXPECT_NEAR(offset[0], -0.25, 1e-6);  // (x, y, z) -> (x, z, -y)
  EXPECT_NEAR(offset[1], 0, 1e-6);
  EXPECT_NEAR(offset[2], -0.5, 1e-6);
  EXPECT_EQ(shifted.json["meshes"].size(), json["meshes"].size());
  ExpectSameDrawings(DrawingsOf(shifted), LibraryDrawings(pivoted, moved));

  // The node of a camera or light is written only when objects hang from it.
  torvik::H3dsScene lit = scene;
  lit.nodes[2].kind = 0xB006;  // "Frame", the roof's parent, as a spotlight
  torvik::H3dsNode camera;
  camera.kind = 0xB001;
  camera.id = 99;
  camera.name = "Camera01";
  lit.nodes.push_back(camera);
  const GltfDocument shown = BuildSceneGltf(lit);
  EXPECT_EQ(Names(shown.json["nodes"]), Names(json["nodes"]));
}

// Viewers walk the nodes recursively and fail on deep chains: a node that
// would stand deeper than 127 levels is written at the top level with its
// world transform, its own subtree below it, and every mesh is still drawn
// where the library draws it.
TEST(SceneGltf, DeepHierarchiesAreCutIntoChainsViewersCanWalk) {
  t3ds::Scene chain;
  chain.meshes = {t3ds::Box("Box", {0, 0, 0}, {1, 1, 1})};
  constexpr std::uint16_t kDepth = 300;
  for (std::uint16_t i = 0; i < kDepth; ++i)
    chain.nodes.push_back({.id = i,
                           .name = "Box",
                           .parent = i == 0 ? std::uint16_t{0xFFFF} : std::uint16_t(i - 1),
                           .instance = "Box." + std::to_string(i),
                           .position = t3ds::Vec3{0.5f, 0, 0.1f},
                           .rotation = std::array<float, 4>{0.05f, 0, 0.6f, 0.8f}});
  const torvik::H3dsScene scene = SceneOf(chain);
  const torvik::ScenePlacement placement = torvik::PlaceScene(scene);
  const GltfDocument document = BuildSceneGltf(scene, placement);
  EXPECT_EQ(document.warnings,
            std::vector<std::string>{"2 nodes deeper than 127 levels of the hierarchy are "
                                     "written at the top level with their world transform, the "
                                     "nodes below kept under them (viewers fail on deeper "
                                     "hierarchies)"});
  const Json& json = document.json;
  EXPECT_EQ(json["scenes"][0]["nodes"], Json::array({0, 127, 254}));
  std::size_t deepest = 0;
  const auto depth = [&](auto&& self, std::size_t index, std::size_t level) -> void {
    deepest = std::max(deepest, level);
    for (const Json& child : json["nodes"][index].value("children", Json::array()))
      self(self, child.get<std::size_t>(), level + 1);
  };
  for (const Json& root : json["scenes"][0]["nodes"]) depth(depth, root.get<std::size_t>(), 1);
  EXPECT_EQ(deepest, 127u);
  ExpectSameDrawings(DrawingsOf(document), LibraryDrawings(scene, placement));
}

// A box whose faces carry the flag word 7 and wind outward as stored.
t3ds::Mesh FlaggedBox(const std::string& name) {
  t3ds::Mesh box = t3ds::Box(name, {1, 2, 3}, {2, 4, 7});
  for (t3ds::Face& face : box.faces) face.flags = 7;
  return box;
}

TEST(SceneGltf, WithoutKeyframerEachMeshIsANodeInTheFilesWindingAndAxes) {
  const t3ds::Mesh box = FlaggedBox("Box");
  const std::vector<std::uint8_t> bytes =
      t3ds::BuildFile({}, {box, t3ds::Box("Two", {5, 5, 5}, {6, 6, 6})});
  const GltfDocument document = BuildSceneGltf(SceneOf(bytes));
  const Json& json = document.json;
  EXPECT_EQ(Names(json["nodes"]), (std::vector<std::string>{"Box", "Two"}));
  EXPECT_EQ(json["nodes"][0], (Json{{"name", "Box"}, {"mesh", 0}}));
  const std::vector<Drawing> drawings = DrawingsOf(document);
  ASSERT_EQ(drawings.size(), 2u);
  // The file's own winding, outward, although every face has the flag word 7.
  EXPECT_NEAR(drawings[0].volume, 1 * 2 * 4, 1e-4);
  EXPECT_GT(drawings[1].volume, 0);
  // (x, y, z) becomes (x, z, -y).
  EXPECT_EQ(drawings[0].low, (Point{1, 3, -4}));
  EXPECT_EQ(drawings[0].high, (Point{2, 7, -2}));
  // Each triangle once: the default material is two-sided, and doubleSided.
  EXPECT_EQ(Indices(document, json["meshes"][0]["primitives"][0]["indices"]).size(),
            3 * box.faces.size());
  EXPECT_EQ(json["materials"][0]["name"], "QZ_DEFAULT");
  EXPECT_EQ(json["materials"][0]["doubleSided"], true);
}

// A material block with a 24-bit diffuse colour (the file's usual form).
void WriteByteColourMaterial(t3ds::ChunkWriter& out, const std::string& name,
                             std::array<std::uint8_t, 3> rgb, bool two_sided) {
  out.begin(0xAFFF).begin(0xA000).str(name).end();
  out.begin(0xA020).begin(0x0011).u8(rgb[0]).u8(rgb[1]).u8(rgb[2]).end().end();
  if (two_sided) out.empty(0xA081);
  out.end();
}

TEST(SceneGltf, MaterialsKeepNamesSidesAndLinearColours) {
  t3ds::Mesh red = t3ds::Box("RedBox", {0, 0, 0}, {1, 1, 1});
  t3ds::AssignAll(red, "Red");
  t3ds::Mesh grey = t3ds::Box("GreyBox", {2, 0, 0}, {3, 1, 1});
  t3ds::AssignAll(grey, "Grey");
  t3ds::ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D);
  WriteByteColourMaterial(out, "Red", {255, 128, 0}, true);
  t3ds::WriteMaterial(out, {"Grey", {}, t3ds::Color{0.5f, 0.5f, 0.5f}, {}, {}, false, ""});
  t3ds::WriteObject(out, red);
  t3ds::WriteObject(out, grey);
  out.end().end();
  const torvik::H3dsScene scene = SceneOf(out.bytes());
  const GltfDocument document = BuildSceneGltf(scene);
  const Json& materials = document.json["materials"];
  ASSERT_EQ(Names(materials), (std::vector<std::string>{"Red", "Grey"}));
  // Bytes / 255, so 255 is 1; then sRGB to linear: 128 / 255 is 0.2158605.
  const std::vector<double> red_factor = materials[0]["pbrMetallicRoughness"]["baseColorFactor"];
  EXPECT_EQ(red_factor[0], 1.0);
  EXPECT_NEAR(red_factor[1], 0.2158605, 1e-6);
  EXPECT_EQ(red_factor[2], 0.0);
  EXPECT_EQ(red_factor[3], 1.0);
  // A float colour as stored, made linear: 0.5 is 0.2140411.
  const std::vector<double> grey_factor = materials[1]["pbrMetallicRoughness"]["baseColorFactor"];
  EXPECT_NEAR(grey_factor[0], 0.2140411, 1e-6);
  // Two-sided: doubleSided and each triangle once; one-sided: neither.
  EXPECT_EQ(materials[0]["doubleSided"], true);
  EXPECT_FALSE(materials[1].contains("doubleSided"));
  for (std::size_t m = 0; m < 2; ++m)
    EXPECT_EQ(Indices(document, document.json["meshes"][m]["primitives"][0]["indices"]).size(),
              3 * red.faces.size());
  EXPECT_EQ(document.json["meshes"][0]["primitives"][0]["material"], 0);
  EXPECT_EQ(document.json["meshes"][1]["primitives"][0]["material"], 1);
}

// Orientation is judged on each mesh as stored: the glTF shares one mesh
// between its instances, and the answer is the one of any placement, since
// a placement that mirrors also reverses the corners (and glTF viewers turn
// the faces of a mirroring node).
TEST(SceneGltf, OrientOutwardTurnsInwardMeshesOutWhereverTheyAreDrawn) {
  const torvik::H3dsScene scene = SceneOf(t3ds::InwardAndOutward());
  const torvik::ScenePlacement placement = torvik::PlaceScene(scene);
  for (std::size_t m = 0; m < scene.meshobjlist.size(); ++m)
    EXPECT_EQ(torvik::FacesInward(scene.meshobjlist[m]), m < 3) << m;
  // By default the file's winding: the three inward meshes show their
  // insides in both of their drawings, mirrored or not.
  const GltfDocument as_stored = BuildSceneGltf(scene, placement);
  const std::vector<Drawing> stored_drawings = DrawingsOf(as_stored);
  ASSERT_EQ(stored_drawings.size(), 12u);
  EXPECT_EQ(std::count_if(stored_drawings.begin(), stored_drawings.end(),
                          [](const Drawing& d) { return d.volume < 0; }),
            6);
  GltfOptions options;
  options.orient_outward = true;
  const GltfDocument oriented = BuildSceneGltf(scene, placement, options);
  for (const Drawing& drawing : DrawingsOf(oriented)) EXPECT_GT(drawing.volume, 0);
  // What the BMF's --keyframer --orient-outward draws, which orients the
  // drawn copies one by one.
  torvik::H3dsScene drawn = scene;
  torvik::DrawPlacedMeshes(drawn, placement);
  EXPECT_EQ(torvik::OrientOutward(drawn), 6u);
  ExpectSameDrawings(DrawingsOf(oriented), MeshDrawings(drawn));
  // Only the winding changes, and nothing at all where no mesh faces inward.
  EXPECT_EQ(oriented.json["nodes"], as_stored.json["nodes"]);
  EXPECT_EQ(oriented.binary.size(), as_stored.binary.size());
  const torvik::H3dsScene gate = SceneOf(t3ds::KeyframerDemo());
  EXPECT_EQ(GlbBytes(BuildSceneGltf(gate, options)), GlbBytes(BuildSceneGltf(gate)));
}

// The glTF follows the stored transparency (100 % is invisible); the BMF
// keeps the reader's alpha, where 0, 1 and 100 % all mean opaque.
TEST(SceneGltf, OpacityIsTheStoredTransparencysWhileTheBmfKeepsItsAlpha) {
  const std::vector<std::optional<std::int16_t>> percents = {std::nullopt, 0,   1,  2,
                                                             40,           100, -5, 120};
  const std::vector<float> bmf_alpha = {0, 1, 1, 0.02f, 0.4f, 1, 1, 1.2f};
  const std::vector<double> opacity = {1, 1, 0.99, 0.98, 0.6, 0, 1, 0};
  std::vector<t3ds::Material> materials;
  std::vector<t3ds::Mesh> meshes;
  for (std::size_t i = 0; i < percents.size(); ++i) {
    const std::string name = std::string("T").append(std::to_string(i));
    materials.push_back({name, {}, t3ds::Color{1, 1, 1}, {}, percents[i], false, ""});
    const float x = 2 * static_cast<float>(i);
    meshes.push_back(t3ds::Box(name, {x, 0, 0}, {x + 1, 1, 1}));
    t3ds::AssignAll(meshes.back(), name);
  }
  const std::vector<std::uint8_t> bytes = t3ds::BuildFile(materials, meshes);
  const torvik::H3dsScene default_read = torvik::HRead3dsScene(bytes);
  const GltfDocument document = BuildSceneGltf(SceneOf(bytes));
  const Json& gltf_materials = document.json["materials"];
  ASSERT_EQ(gltf_materials.size(), percents.size());
  for (std::size_t i = 0; i < percents.size(); ++i) {
    EXPECT_EQ(default_read.material[i].alpha, bmf_alpha[i]) << i;
    const Json& material = gltf_materials[i];
    EXPECT_NEAR(material["pbrMetallicRoughness"]["baseColorFactor"][3].get<double>(), opacity[i],
                1e-6)
        << i;
    EXPECT_EQ(material.value("alphaMode", "OPAQUE"), opacity[i] < 1 ? "BLEND" : "OPAQUE") << i;
  }
}

TEST(SceneGltf, NormalsFollowSmoothingGroups) {
  t3ds::Mesh hard = t3ds::Box("Hard", {0, 0, 0}, {1, 1, 1});
  for (std::size_t f = 0; f < hard.faces.size(); ++f) hard.smoothing.push_back(1u << (f / 2));
  t3ds::Mesh soft = t3ds::Box("Soft", {0, 0, 0}, {1, 1, 1});
  soft.smoothing.assign(soft.faces.size(), 1);
  const GltfDocument document = BuildSceneGltf(SceneOf(t3ds::BuildFile({}, {hard, soft})));
  const auto attribute = [&](std::size_t mesh, const char* name) {
    const Json& primitive = document.json["meshes"][mesh]["primitives"][0];
    return Elements<float>(document, primitive["attributes"][name].get<std::size_t>());
  };
  // A group per side: hard edges, every normal along an axis, four corners per side.
  const std::vector<float> flat = attribute(0, "NORMAL");
  EXPECT_EQ(flat.size(), 3u * 24);
  for (std::size_t i = 0; i < flat.size(); i += 3) {
    const float longest =
        std::max({std::fabs(flat[i]), std::fabs(flat[i + 1]), std::fabs(flat[i + 2])});
    EXPECT_NEAR(longest, 1, 1e-6) << i / 3;
  }
  // One group: each corner of the cube once, its normal smoothed over the
  // three sides, pointing out of the cube.
  const std::vector<float> round = attribute(1, "NORMAL");
  const std::vector<float> corners = attribute(1, "POSITION");
  ASSERT_EQ(round.size(), 3u * 8);
  const float centre[3] = {0.5f, 0.5f, -0.5f};
  for (std::size_t i = 0; i < round.size(); i += 3) {
    for (int c = 0; c < 3; ++c) {
      const float outward = corners[i + c] > centre[c] ? 1.0f : -1.0f;
      EXPECT_GT(round[i + c] * outward, 0.2f) << i / 3;
    }
  }
}

// The meshes are made on several threads and added in order: the same
// bytes for any number of threads, smoothing groups and reversed meshes
// included.
TEST(SceneGltf, SameBytesOnAnyNumberOfThreads) {
  std::vector<t3ds::Mesh> meshes;
  for (int i = 0; i < 32; ++i) {  // 102,400 faces: two threads' worth
    t3ds::Mesh torus = t3ds::Torus(std::string("T").append(std::to_string(i)), 3, 1, 40, 40,
                                   {static_cast<float>(i) * 10, 0, 0});
    if (i % 3 == 1)
      for (std::size_t f = 0; f < torus.faces.size(); ++f) torus.smoothing.push_back(1u << (f % 5));
    if (i % 4 == 2)
      for (t3ds::Face& face : torus.faces) std::swap(face.b, face.c);
    meshes.push_back(std::move(torus));
  }
  const torvik::H3dsScene scene = SceneOf(t3ds::BuildFile({}, meshes));
  for (const bool outward : {false, true}) {
    GltfOptions options;
    options.orient_outward = outward;
    options.threads = 1;
    const std::vector<std::uint8_t> one = GlbBytes(BuildSceneGltf(scene, options));
    for (const std::size_t threads : {2, 3}) {
      options.threads = threads;
      EXPECT_EQ(GlbBytes(BuildSceneGltf(scene, options)), one) << threads << " " << outward;
    }
  }
}

TEST(SceneGltf, TexturesComeFromTheCallerEmbeddedOncePerFile) {
  t3ds::Mesh a = t3ds::TexturedBox("A", {0, 0, 0}, {1, 1, 1});
  t3ds::AssignAll(a, "One");
  t3ds::Mesh b = t3ds::TexturedBox("B", {2, 0, 0}, {3, 1, 1});
  t3ds::AssignAll(b, "Two");
  const t3ds::Color white{1, 1, 1};
  const torvik::H3dsScene scene =
      SceneOf(t3ds::BuildFile({{"One", {}, white, {}, {}, false, "wall.png"},
                               {"Two", {}, white, {}, {}, false, "WALL.PNG"}},
                              {a, b}));
  std::vector<std::uint8_t> png;
  const std::uint8_t pixels[3] = {10, 20, 30};
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(context);
        out->insert(out->end(), static_cast<std::uint8_t*>(data),
                    static_cast<std::uint8_t*>(data) + size);
      },
      &png, 1, 1, 3, pixels, 3);
  // Both names lead to one file, which the caller reads from memory.
  std::vector<std::string> asked;
  GltfOptions options;
  options.find_texture = [](const std::string&, torvik::MapKind) {
    return std::filesystem::path("in/memory.png");
  };
  options.read_texture = [&](const std::filesystem::path& file) {
    asked.push_back(file.string());
    return png;
  };
  const GltfDocument document = BuildSceneGltf(scene, options);
  EXPECT_EQ(asked, std::vector<std::string>{"in/memory.png"});
  const Json& json = document.json;
  ASSERT_EQ(json["images"].size(), 1u);
  EXPECT_EQ(json["textures"].size(), 1u);
  for (std::size_t m = 0; m < 2; ++m) {
    EXPECT_EQ(json["materials"][m]["pbrMetallicRoughness"]["baseColorTexture"]["index"], 0);
    EXPECT_TRUE(json["meshes"][m]["primitives"][0]["attributes"].contains("TEXCOORD_0"));
  }
  // The whole .glb, in memory.
  const std::vector<std::uint8_t> glb = GlbBytes(document);
  ASSERT_GE(glb.size(), 12u);
  EXPECT_EQ(std::string(glb.begin(), glb.begin() + 4), "glTF");
}

// The document with each animated node's properties as its animation
// gives them `seconds` in, as glTF's viewers interpolate: LINEAR blends
// translations and scales and turns rotations along the shorter arc
// (slerp), STEP holds the value before.
GltfDocument PosedAt(const GltfDocument& document, double seconds) {
  GltfDocument posed = document;
  if (!document.json.contains("animations")) return posed;
  const Json& animation = document.json["animations"][0];
  for (const Json& channel : animation["channels"]) {
    const Json& sampler = animation["samplers"][channel["sampler"].get<std::size_t>()];
    const std::vector<float> times = Elements<float>(document, sampler["input"]);
    const std::vector<float> values = Elements<float>(document, sampler["output"]);
    const std::size_t n = values.size() / times.size();
    std::size_t k = 0;
    while (k + 1 < times.size() && times[k + 1] <= seconds) ++k;
    const double u = k + 1 < times.size() && seconds > times[k]
                         ? (seconds - times[k]) / (times[k + 1] - times[k])
                         : 0;
    std::vector<double> value(values.begin() + k * n, values.begin() + (k + 1) * n);
    if (u > 0 && sampler["interpolation"] == "LINEAR") {
      const std::vector<double> next(values.begin() + (k + 1) * n, values.begin() + (k + 2) * n);
      double weight_before = 1 - u, weight_after = u;
      if (n == 4) {
        double dot = 0;
        for (std::size_t c = 0; c < 4; ++c) dot += value[c] * next[c];
        const double sign = dot < 0 ? -1 : 1, angle = std::acos(std::min(1.0, sign * dot));
        if (angle > 1e-9) {
          weight_before = std::sin((1 - u) * angle) / std::sin(angle);
          weight_after = std::sin(u * angle) / std::sin(angle);
        }
        weight_after *= sign;
      }
      for (std::size_t c = 0; c < n; ++c)
        value[c] = weight_before * value[c] + weight_after * next[c];
    }
    posed.json["nodes"][channel["target"]["node"].get<std::size_t>()]
              [channel["target"]["path"].get<std::string>()] = value;
  }
  return posed;
}

// The meshes drawn at `seconds`, those that a scale of 0 hides left out.
std::vector<Drawing> ShownDrawingsAt(const GltfDocument& document, double seconds) {
  std::vector<Drawing> drawings = DrawingsOf(PosedAt(document, seconds));
  std::erase_if(drawings, [](const Drawing& d) { return d.low == d.high; });
  return drawings;
}

double Diagonal(const std::vector<Drawing>& drawings) {
  Drawing all;
  for (const Drawing& d : drawings) all.Add(d.low), all.Add(d.high);
  double sum = 0;
  for (int c = 0; c < 3; ++c) sum += (all.high[c] - all.low[c]) * (all.high[c] - all.low[c]);
  return std::sqrt(sum);
}

// Where the node (of the posed document) stands and turns in the world.
Matrix WorldOf(const Json& json, std::size_t node) {
  std::vector<std::size_t> chain = {node};
  for (bool found = true; found;) {
    found = false;
    for (std::size_t i = 0; i < json["nodes"].size() && !found; ++i)
      for (const Json& child : json["nodes"][i].value("children", Json::array()))
        if (child.get<std::size_t>() == chain.back()) {
          chain.push_back(i);
          found = true;
          break;
        }
  }
  Matrix world = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  for (auto n = chain.rbegin(); n != chain.rend(); ++n)
    world = Product(world, LocalOf(json["nodes"][*n]));
  return world;
}

std::size_t NodeWith(const Json& json, const char* member) {
  for (std::size_t i = 0; i < json["nodes"].size(); ++i)
    if (json["nodes"][i].contains(member)) return i;
  ADD_FAILURE() << "no node with " << member;
  return 0;
}

// The animated turntable (AnimatedDemo): at every frame the glTF draws each
// mesh where the library's placement does, within the stated tolerances;
// frame 0's samples are the nodes' own transforms; the hidden flag is
// scaled to nothing; the camera and lights are where and what the file says.
TEST(SceneGltf, AnimationCamerasAndLightsFollowTheKeyframer) {
  const torvik::H3dsScene scene = SceneOf(t3ds::BuildFile(t3ds::AnimatedDemo()));
  GltfOptions options;
  options.animation_name = "turntable";
  const GltfDocument document = BuildSceneGltf(scene, options);
  EXPECT_EQ(document.warnings, std::vector<std::string>{});
  const Json& json = document.json;
  ASSERT_EQ(json["animations"].size(), 1u);
  const Json& animation = json["animations"][0];
  EXPECT_EQ(animation["name"], "turntable");

  // Frame 0 of every channel is the node's transform as written, bit for bit.
  for (const Json& channel : animation["channels"]) {
    const Json& sampler = animation["samplers"][channel["sampler"].get<std::size_t>()];
    if (sampler["interpolation"] == "STEP") continue;  // the hidden flag's scale
    const std::vector<float> times = Elements<float>(document, sampler["input"]);
    const std::vector<float> values = Elements<float>(document, sampler["output"]);
    EXPECT_EQ(times.front(), 0.0f);
    EXPECT_EQ(times.back(), 4.0f);  // frame 120 at 30 frames a second
    const std::string path = channel["target"]["path"];
    const std::vector<double> identity = path == "rotation" ? std::vector<double>{0, 0, 0, 1}
                                         : path == "scale"  ? std::vector<double>{1, 1, 1}
                                                            : std::vector<double>{0, 0, 0};
    const std::vector<double> still =
        json["nodes"][channel["target"]["node"].get<std::size_t>()].value(path, identity);
    for (std::size_t c = 0; c < still.size(); ++c)
      EXPECT_EQ(values[c], static_cast<float>(still[c])) << path << " " << c;
  }

  // Every frame: the meshes drawn where the library draws them, within
  // the translations' 1e-4 of the model's diagonal plus the rotations'
  // 1e-4 radians over a radius within it.
  const double diagonal = Diagonal(MeshDrawings(scene));
  for (std::uint32_t frame = 0; frame <= 120; ++frame) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    ExpectSameDrawings(ShownDrawingsAt(document, frame / 30.0),
                       LibraryDrawings(scene, torvik::PlaceSceneAt(scene, frame)), 2e-4 * diagonal);
  }
  // The flag hides from frame 60 until 90.
  EXPECT_EQ(ShownDrawingsAt(document, 59 / 30.0).size(), 4u);
  EXPECT_EQ(ShownDrawingsAt(document, 75 / 30.0).size(), 3u);
  EXPECT_EQ(ShownDrawingsAt(document, 90 / 30.0).size(), 4u);
  // By hand, at frame 60: the rider's box, P = (2, 0, 1.7) +- 0.3 in the
  // arm's frame, the arm half a turn round about (0.5, 0, 1): x from -1.8
  // to -1.2, y from -0.3 to 0.3, z from 2.4 to 3; in glTF's axes (x, z, -y).
  const std::vector<Drawing> at60 = ShownDrawingsAt(document, 2);
  Drawing rider;
  rider.low = {-1.8, 2.4, -0.3}, rider.high = {-1.2, 3.0, 0.3};
  EXPECT_TRUE(std::any_of(at60.begin(), at60.end(), [&](const Drawing& d) {
    return std::fabs(d.low[0] - rider.low[0]) < 2e-3 &&
           std::fabs(d.high[1] - rider.high[1]) < 2e-3 &&
           std::fabs(d.low[2] - rider.low[2]) < 2e-3 && std::fabs(d.high[0] - rider.high[0]) < 2e-3;
  }));

  // The camera: 48 degrees across (its field-of-view key; a 50 mm lens
  // gives the same) in a 4:3 frame, at its key (-9, -9, 7) at frame 60,
  // looking along its -z axis at the rider's place then, (-1.5, 0, 2.7),
  // its y axis up.
  EXPECT_NEAR(torvik::LensFieldOfView(50), 48, 1e-12);
  ASSERT_EQ(json["cameras"].size(), 1u);
  const Json& camera = json["cameras"][0];
  EXPECT_EQ(camera["name"], "Chase");
  const double pi = 3.14159265358979323846;
  EXPECT_NEAR(camera["perspective"]["yfov"].get<double>(),
              2 * std::atan(std::tan(24 * pi / 180) * 3 / 4), 1e-6);
  EXPECT_NEAR(camera["perspective"]["aspectRatio"].get<double>(), 4.0 / 3, 1e-6);
  const Json posed = PosedAt(document, 2).json;
  const Matrix eye = WorldOf(posed, NodeWith(posed, "camera"));
  const Point at = {-9, 7, 9}, target = {-1.5, 2.7, 0};
  double length = 0;
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(eye[12 + c], at[c], 2e-4 * diagonal) << c;
    length += (target[c] - at[c]) * (target[c] - at[c]);
  }
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(-eye[8 + c], (target[c] - at[c]) / std::sqrt(length), 1e-3) << c;
  EXPECT_GT(eye[5], 0.5);  // up is up

  // The lights: an omni light and a spotlight of the file's colours (made
  // linear), cones half the hotspot and falloff.
  ASSERT_EQ(json["extensionsUsed"], Json::array({"KHR_lights_punctual"}));
  const Json& lights = json["extensions"]["KHR_lights_punctual"]["lights"];
  ASSERT_EQ(lights.size(), 2u);
  EXPECT_EQ(lights[0]["name"], "Lamp");
  EXPECT_EQ(lights[0]["type"], "point");
  EXPECT_EQ(lights[0]["color"][0], 1.0);
  EXPECT_NEAR(lights[0]["color"][1].get<double>(), 0.7874, 1e-4);  // 0.9 made linear
  EXPECT_GT(lights[0]["intensity"].get<double>(), 0);
  EXPECT_EQ(lights[1]["type"], "spot");
  EXPECT_NEAR(lights[1]["spot"]["innerConeAngle"].get<double>(), 15 * pi / 180, 1e-6);
  EXPECT_NEAR(lights[1]["spot"]["outerConeAngle"].get<double>(), 22.5 * pi / 180, 1e-6);
  const Matrix lamp = WorldOf(json, NodeWith(json, "extensions"));
  EXPECT_NEAR(lamp[12], -5, 1e-5);
  EXPECT_NEAR(lamp[13], 8, 1e-5);
  EXPECT_NEAR(lamp[14], 4, 1e-5);

  // --fps: the same samples at other times.
  options.frames_per_second = 24;
  const GltfDocument slower = BuildSceneGltf(scene, options);
  const Json& first = slower.json["animations"][0]["samplers"][0];
  EXPECT_EQ(Elements<float>(slower, first["input"]).back(), 5.0f);
}

// A key four billion frames on: the animation samples every n-th frame
// (and both keys), with a warning, and still validates in shape.
TEST(SceneGltf, FarKeysAreSampledWithinBounds) {
  t3ds::Node moved{.id = 0, .name = "Box"};
  moved.position_keys = {{.frame = 0, .value = {0, 0, 0}},
                         {.frame = 4000000000u, .value = {1, 2, 3}}};
  const torvik::H3dsScene scene =
      SceneOf(t3ds::BuildFile({}, {t3ds::Box("Box", {0, 0, 0}, {1, 1, 1})}, {moved}));
  const GltfDocument document = BuildSceneGltf(scene);
  ASSERT_EQ(document.warnings.size(), 1u);
  EXPECT_NE(document.warnings[0].find("the animation samples every"), std::string::npos);
  const Json& sampler = document.json["animations"][0]["samplers"][0];
  const std::vector<float> times = Elements<float>(document, sampler["input"]);
  EXPECT_LE(times.size(), std::size_t{1} << 20);
  EXPECT_EQ(times.back(), static_cast<float>(4000000000.0 / 30));
  const std::vector<float> values = Elements<float>(document, sampler["output"]);
  // (1, 2, 3) in glTF's axes.
  EXPECT_EQ(std::vector<float>(values.end() - 3, values.end()), (std::vector<float>{1, 3, -2}));
}

// The angle between two directions.
double AngleBetween(const Point& a, const Point& b) {
  const Point c = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  return std::atan2(std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]), dot);
}

// A point of the file's axes in glTF's.
Point InGltf(double x, double y, double z) { return {x, z, -y}; }

// Where the placement puts each stored node, in glTF's axes, and where the
// node looks (its -z axis).
struct PlacedNode {
  Point at, view;
};

PlacedNode Placed(const torvik::ScenePlacement& placement, std::size_t stored) {
  for (const torvik::NodePlacement& node : placement.nodes)
    if (node.node == stored) {
      const torvik::Affine& w = node.world;
      return {InGltf(w[3], w[7], w[11]), InGltf(-w[2], -w[6], -w[10])};
    }
  ADD_FAILURE() << "no placed node " << stored;
  return {};
}

// The glTF node that holds light `light` (or the camera, for -1).
std::size_t HolderOf(const Json& json, int light) {
  for (std::size_t i = 0; i < json["nodes"].size(); ++i) {
    const Json& node = json["nodes"][i];
    if (light < 0 ? node.contains("camera")
                  : node.contains("extensions") &&
                        node["extensions"]["KHR_lights_punctual"]["light"] == light)
      return i;
  }
  ADD_FAILURE() << "no holder of light " << light;
  return 0;
}

// Cameras and spotlights look at their targets wherever these stand: a
// target before its camera (as 3ds Max writes them), after it, under
// another parent (a moving, turning dummy) or the spotlight under a mesh's
// node; the library's placement at any frame and the glTF (its still
// transforms, and its samples at keys) aim within 1e-6 radians.
TEST(SceneGltf, CamerasAndSpotlightsAimAtTheirTargetsWhereverTheyStand) {
  const torvik::H3dsScene scene = SceneOf(t3ds::BuildFile(t3ds::AimedLightsDemo()));
  // Stored nodes: camera 4 at target 3, spotlight 6 at 5, spotlight 7 at 8.
  const std::array<std::array<std::size_t, 2>, 3> aims = {{{4, 3}, {6, 5}, {7, 8}}};
  for (const double frame : {0.0, 5.5, 10.0, 13.25, 20.0}) {
    const torvik::ScenePlacement placement = torvik::PlaceSceneAt(scene, frame);
    for (const auto& [looker, target] : aims) {
      const PlacedNode eye = Placed(placement, looker), at = Placed(placement, target);
      const Point to = {at.at[0] - eye.at[0], at.at[1] - eye.at[1], at.at[2] - eye.at[2]};
      EXPECT_LT(AngleBetween(eye.view, to), 1e-9) << "node " << looker << " at frame " << frame;
    }
  }
  const GltfDocument document = BuildSceneGltf(scene);
  // The holders of the camera, "Spot" (light 0) and "Wide" (light 1).
  const std::array<int, 3> holders = {-1, 0, 1};
  for (const double frame : {0.0, 20.0}) {
    const Json posed = PosedAt(document, frame / 30).json;
    const torvik::ScenePlacement placement = torvik::PlaceSceneAt(scene, frame);
    for (std::size_t i = 0; i < aims.size(); ++i) {
      const Matrix eye = WorldOf(posed, HolderOf(posed, holders[i]));
      const Point at = Placed(placement, aims[i][1]).at;
      const Point view = {-eye[8], -eye[9], -eye[10]};
      const Point to = {at[0] - eye[12], at[1] - eye[13], at[2] - eye[14]};
      EXPECT_LT(AngleBetween(view, to), 1e-6) << "aim " << i << " at frame " << frame;
    }
  }
}

// The lights keep the document valid beside a specular material (both
// extensions listed), a falloff past a half turn gives the widest cone glTF
// allows, the intensity lights the middle of the model as the keyframer
// places it, and keys that change a light's colour or cone are warned of,
// the first kept.
TEST(SceneGltf, LightsListTheirExtensionKeepTheirConesAndFirstKeys) {
  const torvik::H3dsScene scene = SceneOf(t3ds::BuildFile(t3ds::AimedLightsDemo()));
  const GltfDocument document = BuildSceneGltf(scene);
  const Json& json = document.json;
  EXPECT_EQ(json["extensionsUsed"], Json::array({"KHR_materials_specular", "KHR_lights_punctual"}));
  const Json& lights = json["extensions"]["KHR_lights_punctual"]["lights"];
  ASSERT_EQ(lights.size(), 3u);
  const double pi = 3.14159265358979323846;
  // "Spot": its first hotspot key, 20 degrees across.
  EXPECT_NEAR(lights[0]["spot"]["innerConeAngle"].get<double>(), 10 * pi / 180, 1e-7);
  EXPECT_NEAR(lights[0]["spot"]["outerConeAngle"].get<double>(), 20 * pi / 180, 1e-7);
  // "Wide": 200 degrees of falloff, 190 of hotspot.
  const double outer = lights[1]["spot"]["outerConeAngle"];
  const double inner = lights[1]["spot"]["innerConeAngle"];
  EXPECT_LE(outer, pi / 2);
  EXPECT_EQ(static_cast<float>(outer), std::nextafter(static_cast<float>(pi / 2), 0.0f));
  EXPECT_LT(inner, outer);
  // "Lamp": pi x 1.5 x d^2, d from (5, -5, 10) to the placed model's middle
  // (12.75, 0, 1.4), not the stored one's (0, 0, 1.4).
  const double d2 = 7.75 * 7.75 + 5 * 5 + 8.6 * 8.6;
  EXPECT_NEAR(lights[2]["intensity"].get<double>(), pi * 1.5 * d2, 1e-3);
  EXPECT_EQ(lights[2]["color"], Json::array({1.0, 1.0, 1.0}));
  EXPECT_EQ(document.warnings,
            (std::vector<std::string>{
                "light 'Spot' changes its hotspot over its keys; the glTF keeps the first "
                "(glTF's lights have no animated hotspot)",
                "light 'Lamp' changes its colour over its keys; the glTF keeps the first "
                "(glTF's lights have no animated colour)"}));
}

// The largest distance between the meshes the glTF draws `seconds` in and
// those the library draws at `frame`, each library mesh paired with the
// nearest glTF one.
double DrawingError(const GltfDocument& document, double seconds, const torvik::H3dsScene& scene,
                    double frame) {
  const std::vector<Drawing> gltf = ShownDrawingsAt(document, seconds);
  const std::vector<Drawing> library = LibraryDrawings(scene, torvik::PlaceSceneAt(scene, frame));
  double worst = 0;
  for (const Drawing& expected : library) {
    double nearest = INFINITY;
    for (const Drawing& d : gltf) {
      double far = 0;
      for (int c = 0; c < 3; ++c)
        far = std::max(
            {far, std::fabs(d.low[c] - expected.low[c]), std::fabs(d.high[c] - expected.high[c])});
      nearest = std::min(nearest, far);
    }
    worst = std::max(worst, nearest);
  }
  return worst;
}

// Between whole frames too, the glTF as viewers interpolate it follows the
// curves: a turn of three quarters inside one frame plays the long way, a
// TCB path with tension, continuity, bias and ease under a turning parent
// stays on its curve, and so do the corpus's spinning cube and target
// camera; each mesh within 1e-4 of the diagonal for its translations plus
// 1e-4 radians over its reach (here within the diagonal), at frames chosen
// between samples.
TEST(SceneGltf, AnimationFollowsItsCurvesBetweenFramesLongTurnsIncluded) {
  t3ds::Scene spinner;
  spinner.meshes = {t3ds::Box("Top", {-2, -0.5f, -0.5f}, {2, 0.5f, 0.5f})};
  spinner.nodes = {{.id = 0,
                    .name = "Top",
                    .rotation_keys = {{.frame = 0, .value = {0, 0, 0, 1}},
                                      {.frame = 10, .value = {0.1f, 0, 0, 1}},
                                      {.frame = 11, .value = {4.712389f, 0, 0, 1}},
                                      {.frame = 20, .value = {0.2f, 0, 0, 1}}}}};
  t3ds::Scene tcb;
  tcb.meshes = {t3ds::Box("Arm", {0, -0.2f, -0.2f}, {4, 0.2f, 0.2f}),
                t3ds::Box("Rider", {-0.3f, -0.3f, -0.3f}, {0.3f, 0.3f, 0.3f})};
  tcb.nodes = {{.id = 0,
                .name = "Arm",
                .rotation_keys = {{.frame = 0, .value = {0, 0, 0, 1}},
                                  {.frame = 6, .value = {2.5f, 0, 0, 1}, .spline = {0, 0, 0, 0, 1}},
                                  {.frame = 12,
                                   .value = {-1.5f, 0.3f, 0, 1},
                                   .spline = {0.5f, 0, 0, 1, 0}}}},
               {.id = 1,
                .name = "Rider",
                .parent = 0,
                .position_keys = {
                    {.frame = 0, .value = {4, 0, 0}},
                    {.frame = 3, .value = {1, 3, 2}, .spline = {-0.8f, 0.9f, 0.7f, 0, 0}},
                    {.frame = 5, .value = {3, -2, 0}, .spline = {0.6f, -0.9f, -0.6f, 0.8f, 0.3f}},
                    {.frame = 12, .value = {4, 0, 0}, .spline = {0, 0, 0, 1, 0}}}}};
  std::vector<std::pair<std::string, torvik::H3dsScene>> scenes = {{"spinner", SceneOf(spinner)},
                                                                   {"tcb", SceneOf(tcb)}};
  for (const std::string& path : testing_support::CorpusFiles())
    if (path.find("RotatingCube") != std::string::npos)
      scenes.emplace_back(path, torvik::ReadSceneFile(path, SceneGltfReadOptions(1)));
  for (const auto& [name, scene] : scenes) {
    SCOPED_TRACE(name);
    const GltfDocument document = BuildSceneGltf(scene);
    EXPECT_EQ(document.warnings, std::vector<std::string>{});
    const double diagonal = Diagonal(MeshDrawings(scene));
    const std::array<std::uint32_t, 2> frames = torvik::AnimationFrames(scene.animation);
    double worst = 0;
    for (double frame = frames[0]; frame < frames[1]; frame += 1.0 / 16)
      for (const double at : {frame + 1.0 / 37, frame + 1.0 / 23})
        worst = std::max(worst, DrawingError(document, at / 30, scene, at));
    EXPECT_LT(worst, 2e-4 * diagonal);
  }
  // The target camera: where it stands within 1e-4 of the diagonal, where
  // it looks within 2e-4 radians.
  for (const std::string& path : testing_support::CorpusFiles()) {
    if (path.find("TargetCameraAnim") == std::string::npos) continue;
    const torvik::H3dsScene scene = torvik::ReadSceneFile(path, SceneGltfReadOptions(1));
    const GltfDocument document = BuildSceneGltf(scene);
    const double diagonal = Diagonal(MeshDrawings(scene));
    std::size_t camera = 0;
    while (scene.nodes[camera].kind != 0xB003) ++camera;
    const std::array<std::uint32_t, 2> frames = torvik::AnimationFrames(scene.animation);
    double far = 0, turned = 0;
    for (double frame = frames[0]; frame < frames[1]; frame += 1.0 / 16) {
      const double at = frame + 1.0 / 37;
      const Json posed = PosedAt(document, at / 30).json;
      const Matrix eye = WorldOf(posed, HolderOf(posed, -1));
      const PlacedNode expected = Placed(torvik::PlaceSceneAt(scene, at), camera);
      for (int c = 0; c < 3; ++c) far = std::max(far, std::fabs(eye[12 + c] - expected.at[c]));
      turned = std::max(turned, AngleBetween({-eye[8], -eye[9], -eye[10]}, expected.view));
    }
    EXPECT_LT(far, 1e-4 * diagonal);
    EXPECT_LT(turned, 2e-4);
  }
}

// The frames of a segment that starts past frame 0 play from the glTF's
// time 0: nothing stands still for frames outside it.
TEST(SceneGltf, AnimationPlaysItsSegmentFromTimeZero) {
  t3ds::Node moved{.id = 0, .name = "Box"};
  moved.position_keys = {{.frame = 0, .value = {0, 0, 0}}, {.frame = 40, .value = {4, 0, 0}}};
  const torvik::H3dsScene scene =
      SceneOf(t3ds::BuildFile({}, {t3ds::Box("Box", {0, 0, 0}, {1, 1, 1})}, {moved},
                              {.frames = std::array<std::uint32_t, 2>{10, 30}}));
  const GltfDocument document = BuildSceneGltf(scene);
  const Json& sampler = document.json["animations"][0]["samplers"][0];
  const std::vector<float> times = Elements<float>(document, sampler["input"]);
  EXPECT_EQ(times.front(), 0.0f);
  EXPECT_EQ(times.back(), static_cast<float>(20.0 / 30));
  for (const double frame : {10.0, 17.5, 30.0})
    ExpectSameDrawings(ShownDrawingsAt(document, (frame - 10) / 30),
                       LibraryDrawings(scene, torvik::PlaceSceneAt(scene, frame)), 1e-4);
}

// The samples an animation writes, over its channels.
std::size_t SamplesWritten(const GltfDocument& document) {
  std::size_t count = 0;
  for (const Json& animation : document.json.value("animations", Json::array()))
    for (const Json& channel : animation["channels"]) {
      const Json& sampler = animation["samplers"][channel["sampler"].get<std::size_t>()];
      count += document.json["accessors"][sampler["input"].get<std::size_t>()]["count"]
                   .get<std::size_t>();
    }
  return count;
}

bool Warned(const GltfDocument& document, const std::string& part) {
  return std::any_of(document.warnings.begin(), document.warnings.end(),
                     [&](const std::string& w) { return w.find(part) != std::string::npos; });
}

// Keyframers whose samples would take work far beyond their size: a chain
// of 1,500 nodes, each with two keys of its own frames (deeper than 127
// levels, so written with world matrices), and 300 cameras looking at one
// target of 8,000 keys (each key a sample of every camera, once).  Their
// samples are thinned, with a warning, to what 2^20 matrices and 8 a key
// allow, and the export stops when its caller asks it to.
TEST(SceneGltf, AnimationWorkIsBoundedByTheFilesSize) {
  const std::size_t budget = (std::size_t{1} << 20) + 8 * 8600;
  t3ds::Scene chain;
  chain.meshes = {t3ds::Box("Box", {0, 0, 0}, {1, 1, 1})};
  for (std::uint16_t i = 0; i < 1500; ++i)
    chain.nodes.push_back({.id = i,
                           .name = "Box",
                           .parent = i == 0 ? std::uint16_t{0xFFFF} : std::uint16_t(i - 1),
                           .instance = "Box." + std::to_string(i),
                           .position_keys = {{.frame = i, .value = {0.01f, 0, 0}},
                                             {.frame = i + 1u, .value = {0.02f, 0, 0.001f}}}});
  const torvik::H3dsScene deep = SceneOf(chain);
  const GltfDocument chained = BuildSceneGltf(deep);
  EXPECT_TRUE(Warned(chained, "the animation samples every ")) << chained.warnings.size();
  EXPECT_LE(SamplesWritten(chained), budget);

  t3ds::Scene watched;
  watched.meshes = {t3ds::Box("Box", {0, 0, 0}, {1, 1, 1})};
  t3ds::Node target{.id = 0, .name = "Cam", .kind = 0xB004};
  for (std::uint32_t f = 0; f < 8000; ++f)
    target.position_keys.push_back({.frame = f, .value = {0.01f * static_cast<float>(f), 0, 1}});
  watched.nodes = {target};
  for (std::uint16_t i = 0; i < 300; ++i) {
    const auto id = static_cast<std::uint16_t>(1 + 2 * i);
    watched.nodes.push_back({.id = id,
                             .name = "Cam",
                             .position = t3ds::Vec3{static_cast<float>(i), -20, 5},
                             .kind = 0xB003});
    watched.nodes.push_back({.id = static_cast<std::uint16_t>(id + 1),
                             .name = "Box",
                             .parent = id,
                             .instance = "Box." + std::to_string(i),
                             .position = t3ds::Vec3{0, 0, 0}});
  }
  const torvik::H3dsScene cameras = SceneOf(t3ds::BuildFile(
      {}, watched.meshes, watched.nodes, {.cameras = {{.name = "Cam", .target = {0, 0, 1}}}}));
  const GltfDocument document = BuildSceneGltf(cameras);
  EXPECT_TRUE(Warned(document, "(and every key of the nodes themselves, not their targets' keys)"))
      << (document.warnings.empty() ? "" : document.warnings.front());
  EXPECT_LE(SamplesWritten(document), budget);

  GltfOptions options;
  std::size_t asked = 0;
  options.cancelled = [&] { return ++asked > 20; };
  EXPECT_THROW(BuildSceneGltf(cameras, options), torvik::Cancelled);
  EXPECT_GT(asked, 20u);
}

// The corpus's animated files: every 5th frame drawn where the library
// draws it.
TEST(SceneGltf, CorpusAnimationsFollowTheLibrary) {
  for (const std::string& path : testing_support::CorpusFiles()) {
    const torvik::H3dsScene scene = torvik::ReadSceneFile(path, SceneGltfReadOptions(1));
    const GltfDocument document = BuildSceneGltf(scene);
    if (!document.json.contains("animations")) continue;
    SCOPED_TRACE(path);
    const double diagonal = Diagonal(MeshDrawings(scene));
    const std::array<std::uint32_t, 2> frames = torvik::AnimationFrames(scene.animation);
    for (std::uint32_t frame = frames[0]; frame <= frames[1]; frame += 5)
      ExpectSameDrawings(ShownDrawingsAt(document, frame / 30.0),
                         LibraryDrawings(scene, torvik::PlaceSceneAt(scene, frame)),
                         2e-4 * diagonal);
  }
}

}  // namespace
