#include "presets.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

#include "shapes.h"

namespace t3ds {

namespace {

struct Layout {
  int objects;
  int segments, sides;  // of each torus (2 * segments * sides faces); a band has segments columns
  int materials;
  int two_sided_every;  // material m is two-sided when m % two_sided_every == 0; 0: none
  int groups;           // face-material groups per object
  bool bands = false;   // helical bands of 2 * segments vertices instead of tori
};

std::string Numbered(const char* prefix, int index) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%04d", prefix, index);
  return name;
}

// A band wound as a helix: two rows of `columns` vertices, 2 * (columns - 1)
// faces, so nearly one face per vertex (a closed surface has two).
Mesh Band(const std::string& name, int columns, Vec3 center) {
  constexpr int kColumnsPerTurn = 500;
  constexpr double kRadius = 2.0, kPitch = 0.5, kWidth = 0.3;
  Mesh mesh;
  mesh.name = name;
  const double two_pi = 2 * std::numbers::pi;
  for (int i = 0; i < columns; ++i) {
    const double u = two_pi * (i % kColumnsPerTurn) / kColumnsPerTurn;
    const double z = kPitch * i / kColumnsPerTurn;
    const float x = center[0] + static_cast<float>(kRadius * std::cos(u));
    const float y = center[1] + static_cast<float>(kRadius * std::sin(u));
    const float s = static_cast<float>(i) / static_cast<float>(columns);
    mesh.vertices.push_back({x, y, center[2] + static_cast<float>(z)});
    mesh.vertices.push_back({x, y, center[2] + static_cast<float>(z + kWidth)});
    mesh.uvs.push_back({s, 0.0f});
    mesh.uvs.push_back({s, 1.0f});
  }
  for (int i = 0; i + 1 < columns; ++i) {
    const auto a = static_cast<std::uint16_t>(2 * i);
    mesh.faces.push_back(
        {a, static_cast<std::uint16_t>(a + 2), static_cast<std::uint16_t>(a + 3), 7});
    mesh.faces.push_back(
        {a, static_cast<std::uint16_t>(a + 3), static_cast<std::uint16_t>(a + 1), 7});
  }
  return mesh;
}

// Colours and textures vary with the index so that blocks differ; only
// arithmetic is used, so the values never depend on the maths library.
Material MakeMaterial(int index, bool two_sided) {
  const float shade = static_cast<float>(index % 10) / 10.0f;
  Material material;
  material.name = Numbered("Mat", index);
  material.ambient = Color{0.1f, 0.1f * shade, 0.05f};
  material.diffuse = Color{shade, 0.5f, 1.0f - shade};
  material.specular = Color{1.0f, 1.0f, 0.9f};
  if (index % 5 == 4) material.transparency = static_cast<std::int16_t>(10 * (index % 7));
  material.two_sided = two_sided;
  if (index % 2 == 1) material.texture = Numbered("tex", index) + ".png";
  return material;
}

// Object i takes materials (groups * i + k) % materials for its k-th run of
// faces; objects stand on a square grid so that none overlaps another.
std::vector<std::uint8_t> Build(const Layout& layout) {
  std::vector<Material> materials;
  for (int m = 0; m < layout.materials; ++m)
    materials.push_back(
        MakeMaterial(m, layout.two_sided_every != 0 && m % layout.two_sided_every == 0));
  int columns = 1;
  while (columns * columns < layout.objects) ++columns;
  std::vector<Mesh> meshes;
  meshes.reserve(static_cast<std::size_t>(layout.objects));
  for (int i = 0; i < layout.objects; ++i) {
    const Vec3 center = {static_cast<float>(i % columns) * 5.0f,
                         static_cast<float>(i / columns) * 5.0f, 0.0f};
    Mesh mesh = layout.bands
                    ? Band(Numbered("Obj", i), layout.segments, center)
                    : Torus(Numbered("Obj", i), 2.0f, 0.6f, layout.segments, layout.sides, center);
    const std::size_t faces = mesh.faces.size();
    for (int k = 0; k < layout.groups; ++k) {
      FaceGroup group{
          materials[static_cast<std::size_t>((layout.groups * i + k) % layout.materials)].name, {}};
      const std::size_t first =
          faces * static_cast<std::size_t>(k) / static_cast<std::size_t>(layout.groups);
      const std::size_t last =
          faces * static_cast<std::size_t>(k + 1) / static_cast<std::size_t>(layout.groups);
      for (std::size_t f = first; f < last; ++f)
        group.faces.push_back(static_cast<std::uint16_t>(f));
      mesh.groups.push_back(std::move(group));
    }
    meshes.push_back(std::move(mesh));
  }
  return BuildFile(materials, meshes);
}

// Many small tori that only the keyframer places: every group of eight hangs
// from a dummy, each torus is turned, scaled and moved by its node, and every
// eighth is drawn a second time by an instance.  Rotations are whole
// quarter-turn fractions of pi written as floats: no maths library is used.
std::vector<std::uint8_t> BuildInstances() {
  constexpr int kMeshes = 4096, kPerDummy = 8, kMaterials = 16;
  std::vector<Material> materials;
  for (int m = 0; m < kMaterials; ++m) materials.push_back(MakeMaterial(m, m % 4 == 0));
  std::vector<Mesh> meshes;
  std::vector<Node> nodes;
  std::uint16_t id = 0;
  std::uint16_t dummy = 0;
  for (int i = 0; i < kMeshes; ++i) {
    Mesh mesh = Torus(Numbered("Obj", i), 2.0f, 0.6f, 12, 10, {0, 0, 0});
    AssignAll(mesh, materials[static_cast<std::size_t>(i % kMaterials)].name);
    if (i % kPerDummy == 0) {
      dummy = id;
      nodes.push_back({.id = id++,
                       .name = "$$$DUMMY",
                       .instance = Numbered("Group", i / kPerDummy),
                       .position = Vec3{static_cast<float>(i / kPerDummy % 23) * 40.0f,
                                        static_cast<float>(i / kPerDummy / 23) * 40.0f, 0.0f}});
    }
    const float turn = static_cast<float>(i % 7) * 0.25f;
    const Vec3 place = {static_cast<float>(i % kPerDummy) * 5.0f, 0.0f, 0.0f};
    const std::array<float, 4> rotation = {turn, 0.0f, static_cast<float>(i % 3), 1.0f};
    nodes.push_back({.id = id++,
                     .name = mesh.name,
                     .parent = dummy,
                     .position = place,
                     .rotation = rotation,
                     .scale = Vec3{1.0f, 1.0f + static_cast<float>(i % 5) * 0.125f, 1.0f}});
    if (i % 8 == 7)
      nodes.push_back({.id = id++,
                       .name = mesh.name,
                       .parent = dummy,
                       .instance = "copy",
                       .position = Vec3{place[0], 20.0f, 0.0f},
                       .rotation = rotation});
    meshes.push_back(std::move(mesh));
  }
  return BuildFile(materials, meshes, nodes);
}

}  // namespace

const std::vector<std::string>& PresetNames() {
  static const std::vector<std::string> names = {"small", "medium", "large", "manymat", "bigmat"};
  return names;
}

std::vector<std::uint8_t> BuildPreset(std::string_view name) {
  if (name == "small") return Build({1, 25, 20, 2, 2, 2});
  if (name == "medium") return Build({20, 100, 50, 8, 4, 1});
  if (name == "large") return Build({64, 125, 125, 16, 4, 1});
  if (name == "manymat") return Build({5000, 10, 8, 5000, 4, 4});
  if (name == "bigmat") return Build({40, 30000, 0, 1, 0, 1, true});
  if (name == "xlarge") return Build({64, 181, 181, 16, 4, 1});
  if (name == "instances") return BuildInstances();
  throw std::invalid_argument("unknown preset '" + std::string(name) + "'");
}

}  // namespace t3ds
