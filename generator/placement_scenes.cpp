#include "placement_scenes.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

#include "shapes.h"

namespace t3ds {

namespace {

// A fixed stream of numbers in [-1, 1), the same on every machine.
class Stream {
 public:
  double Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state_ >> 11) * 0x1p-52 - 1.0;
  }
  float NextFloat(double scale = 1) { return static_cast<float>(Next() * scale); }
  Vec3 Axis() {
    for (;;) {
      const double x = Next(), y = Next(), z = Next();
      const double length = std::sqrt(x * x + y * y + z * z);
      if (length > 0.1 && length <= 1)
        return {static_cast<float>(x / length), static_cast<float>(y / length),
                static_cast<float>(z / length)};
    }
  }

 private:
  std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

// The rotation by `angle` about the unit `axis` applied to `v`.
Vec3 Rotated(Vec3 v, double angle, Vec3 axis) {
  const double c = std::cos(angle), s = std::sin(angle);
  const double dot = axis[0] * v[0] + axis[1] * v[1] + axis[2] * v[2];
  const double cross[3] = {axis[1] * v[2] - axis[2] * v[1], axis[2] * v[0] - axis[0] * v[2],
                           axis[0] * v[1] - axis[1] * v[0]};
  Vec3 out;
  for (int i = 0; i < 3; ++i)
    out[static_cast<std::size_t>(i)] =
        static_cast<float>(v[static_cast<std::size_t>(i)] * c + cross[i] * s +
                           axis[static_cast<std::size_t>(i)] * dot * (1 - c));
  return out;
}

// The mesh, made about the origin, stored in the frame whose axes are the
// rotation's (the x axis negated when `mirrored`) and whose origin is
// `origin`: the local-axis matrix says so.
Mesh InFrame(Mesh mesh, double angle, Vec3 axis, bool mirrored, Vec3 origin) {
  Vec3 axes[3] = {{mirrored ? -1.0f : 1.0f, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (Vec3& a : axes) a = Rotated(a, angle, axis);
  for (Vec3& v : mesh.vertices) {
    const Vec3 local = v;
    for (int i = 0; i < 3; ++i) {
      const auto k = static_cast<std::size_t>(i);
      v[k] = origin[k] + axes[0][k] * local[0] + axes[1][k] * local[1] + axes[2][k] * local[2];
    }
  }
  if (mirrored)  // a mirror image keeps its faces' side by their winding
    for (Face& face : mesh.faces) std::swap(face.b, face.c);
  mesh.matrix =
      std::array<float, 12>{axes[0][0], axes[0][1], axes[0][2], axes[1][0], axes[1][1], axes[1][2],
                            axes[2][0], axes[2][1], axes[2][2], origin[0],  origin[1],  origin[2]};
  return mesh;
}

Mesh Shaken(Mesh mesh, float amount, Stream& stream) {
  for (Vec3& v : mesh.vertices)
    for (float& c : v) c += stream.NextFloat(amount);
  return mesh;
}

Mesh Reversed(Mesh mesh) {
  for (Face& face : mesh.faces) std::swap(face.b, face.c);
  return mesh;
}

std::array<float, 4> Turn(float angle, Vec3 axis) { return {angle, axis[0], axis[1], axis[2]}; }

}  // namespace

Scene PlacementTrial() {
  Scene scene;
  scene.materials = {
      {"Clay",
       Color{0.2f, 0.1f, 0.1f},
       Color{0.8f, 0.45f, 0.3f},
       Color{0.5f, 0.5f, 0.5f},
       {},
       false,
       ""},
      {"Glass", Color{0.1f, 0.1f, 0.1f}, Color{0.6f, 0.8f, 0.9f}, Color{1, 1, 1}, 60, true, ""},
  };
  Stream stream;
  // Angles of every size: tiny, around the quadrant boundaries, and many
  // turns.
  const double angles[] = {1e-6, 0.5,       0.7853981, 1.5707963, 2.5,   3.1415926, -1.2,
                           4.71, 6.2831853, -7.5,      12.0,      100.0, -333.0,    1e4};
  constexpr std::size_t kMeshes = 36;
  for (std::size_t i = 0; i < kMeshes; ++i) {
    const std::string name = "Part" + std::to_string(i);
    Mesh shape = i % 3 == 0   ? Torus(name, 1.0f, 0.35f, 24, 12)
                 : i % 3 == 1 ? Box(name, {-0.6f, -0.4f, -0.3f}, {0.6f, 0.4f, 0.3f})
                              : Cylinder(name, 0.4f, 1.2f, 20, {0, 0, -0.6f});
    AssignAll(shape, i % 4 == 0 ? "Glass" : "Clay");
    const Vec3 origin = {static_cast<float>(i % 6) * 3.0f, static_cast<float>(i / 6) * 3.0f,
                         stream.NextFloat(2)};
    scene.meshes.push_back(InFrame(Shaken(std::move(shape), 0.01f, stream),
                                   angles[i % std::size(angles)] * 0.9, stream.Axis(), i % 3 == 2,
                                   origin));
  }
  // A dummy that the last twelve parts hang from, turned as a whole.
  constexpr std::uint16_t kDummy = 100;
  scene.nodes.push_back({.id = kDummy,
                         .name = "$$$DUMMY",
                         .instance = "Group",
                         .position = Vec3{1, 2, 0.5f},
                         .rotation = Turn(0.3f, stream.Axis())});
  std::uint16_t next_id = 0;
  for (std::size_t i = 0; i < kMeshes; ++i) {
    const Mesh& mesh = scene.meshes[i];
    const auto& m = *mesh.matrix;
    Node node{.id = next_id++, .name = mesh.name};
    if (i >= kMeshes - 12)
      node.parent = kDummy;
    else if (i % 7 == 3)
      node.parent = static_cast<std::uint16_t>(next_id - 2);
    node.pivot = Vec3{stream.NextFloat(0.5), stream.NextFloat(0.5), stream.NextFloat(0.5)};
    node.position = Vec3{m[9] + stream.NextFloat(), m[10] + stream.NextFloat(), m[11]};
    node.rotation =
        Turn(static_cast<float>(angles[(i * 5 + 3) % std::size(angles)]), stream.Axis());
    if (i % 4 == 1) node.scale = Vec3{1.5f, 1.5f, 1.5f};
    if (i % 6 == 4) node.scale = Vec3{-1, 1, 1};
    scene.nodes.push_back(node);
    if (i % 5 == 0) {
      Node copy = node;
      copy.id = next_id++;
      copy.parent = 0xFFFF;
      copy.instance = mesh.name + ".2";
      copy.pivot = Vec3{0.25f, -0.25f, 0};
      copy.position = Vec3{m[9], m[10] - 20, m[11]};
      copy.rotation = Turn(static_cast<float>(angles[(i + 7) % std::size(angles)]), stream.Axis());
      copy.scale = i % 2 == 0 ? Vec3{1, -1, 1} : Vec3{0.5f, 0.5f, 0.5f};
      scene.nodes.push_back(copy);
    }
  }
  return scene;
}

Scene InwardAndOutward() {
  Scene scene;
  scene.materials = {{"Paint",
                      Color{0.2f, 0.2f, 0.2f},
                      Color{0.3f, 0.5f, 0.8f},
                      Color{0.4f, 0.4f, 0.4f},
                      {},
                      false,
                      ""}};
  const Vec3 z_axis = {0, 0, 1}, tilted = {0.6f, 0, 0.8f};
  Mesh shapes[] = {
      Reversed(Box("InwardBox", {-1, -1, -1}, {1, 1, 1})),
      Reversed(Torus("InwardRing", 1.0f, 0.3f, 24, 12)),
      Reversed(Cylinder("InwardTube", 0.5f, 2.0f, 24, {0, 0, -1})),
      Box("OutwardBox", {-1, -1, -1}, {1, 1, 1}),
      Torus("OutwardRing", 1.0f, 0.3f, 24, 12),
      Cylinder("OutwardTube", 0.5f, 2.0f, 24, {0, 0, -1}),
  };
  std::uint16_t id = 0;
  for (std::size_t i = 0; i < std::size(shapes); ++i) {
    AssignAll(shapes[i], "Paint");
    const Vec3 origin = {static_cast<float>(i) * 4.0f, 0, 0};
    // Every other mesh is stored in a mirrored frame.
    scene.meshes.push_back(InFrame(shapes[i], 0.4 * static_cast<double>(i),
                                   i % 2 == 0 ? z_axis : tilted, i % 2 == 1, origin));
    const std::string& name = scene.meshes.back().name;
    // Its node: mirrored for the meshes 2 and 5.
    scene.nodes.push_back({.id = id++,
                           .name = name,
                           .position = origin,
                           .rotation = Turn(0.5f, tilted),
                           .scale = i % 3 == 2 ? Vec3{1, 1, -1} : Vec3{1, 1, 1}});
    // A mirrored instance beside it.
    scene.nodes.push_back({.id = id++,
                           .name = name,
                           .instance = name + ".Mirror",
                           .position = Vec3{origin[0], 6, 0},
                           .scale = Vec3{-1, 1, 1}});
  }
  return scene;
}

}  // namespace t3ds
