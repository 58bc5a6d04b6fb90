#include "shapes.h"

#include <cmath>
#include <numbers>

namespace t3ds {

namespace {
std::uint16_t Index(std::size_t i) { return static_cast<std::uint16_t>(i); }
}  // namespace

Mesh Torus(const std::string& name, float ring_radius, float tube_radius, int segments, int sides,
           Vec3 center) {
  Mesh mesh;
  mesh.name = name;
  const double two_pi = 2 * std::numbers::pi;
  for (int i = 0; i < segments; ++i) {
    const double u = two_pi * i / segments;
    for (int j = 0; j < sides; ++j) {
      const double v = two_pi * j / sides;
      const double r = ring_radius + tube_radius * std::cos(v);
      mesh.vertices.push_back({static_cast<float>(center[0] + r * std::cos(u)),
                               static_cast<float>(center[1] + r * std::sin(u)),
                               static_cast<float>(center[2] + tube_radius * std::sin(v))});
      mesh.uvs.push_back({static_cast<float>(i) / segments, static_cast<float>(j) / sides});
    }
  }
  for (int i = 0; i < segments; ++i) {
    for (int j = 0; j < sides; ++j) {
      const std::size_t a = static_cast<std::size_t>(i * sides + j);
      const std::size_t b = static_cast<std::size_t>(((i + 1) % segments) * sides + j);
      const std::size_t c =
          static_cast<std::size_t>(((i + 1) % segments) * sides + (j + 1) % sides);
      const std::size_t d = static_cast<std::size_t>(i * sides + (j + 1) % sides);
      mesh.faces.push_back({Index(a), Index(b), Index(c), 7});
      mesh.faces.push_back({Index(a), Index(c), Index(d), 7});
    }
  }
  return mesh;
}

Mesh Box(const std::string& name, Vec3 low, Vec3 high) {
  Mesh mesh;
  mesh.name = name;
  for (int i = 0; i < 8; ++i)
    mesh.vertices.push_back(
        {(i & 1) ? high[0] : low[0], (i & 2) ? high[1] : low[1], (i & 4) ? high[2] : low[2]});
  // Counter-clockwise seen from outside.
  const std::uint16_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& q : quads) {
    mesh.faces.push_back({q[0], q[1], q[2], 3});
    mesh.faces.push_back({q[0], q[2], q[3], 3});
  }
  return mesh;
}

Mesh Quad(const std::string& name, Vec3 a, Vec3 b, Vec3 c, Vec3 d) {
  Mesh mesh;
  mesh.name = name;
  mesh.vertices = {a, b, c, d};
  mesh.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  mesh.faces = {{0, 1, 2, 3}, {0, 2, 3, 3}};
  return mesh;
}

Mesh TexturedBox(const std::string& name, Vec3 low, Vec3 high) {
  const float lx = low[0], ly = low[1], lz = low[2], hx = high[0], hy = high[1], hz = high[2];
  // Each side from outside: bottom left, bottom right, top right, top left.
  const Vec3 sides[6][4] = {
      {{lx, ly, lz}, {hx, ly, lz}, {hx, ly, hz}, {lx, ly, hz}},  // -y
      {{hx, hy, lz}, {lx, hy, lz}, {lx, hy, hz}, {hx, hy, hz}},  // +y
      {{hx, ly, lz}, {hx, hy, lz}, {hx, hy, hz}, {hx, ly, hz}},  // +x
      {{lx, hy, lz}, {lx, ly, lz}, {lx, ly, hz}, {lx, hy, hz}},  // -x
      {{lx, ly, hz}, {hx, ly, hz}, {hx, hy, hz}, {lx, hy, hz}},  // top
      {{lx, hy, lz}, {hx, hy, lz}, {hx, ly, lz}, {lx, ly, lz}},  // bottom
  };
  Mesh mesh;
  mesh.name = name;
  for (const auto& side : sides) {
    const Mesh quad = Quad(name, side[0], side[1], side[2], side[3]);
    const std::size_t first = mesh.vertices.size();
    mesh.vertices.insert(mesh.vertices.end(), quad.vertices.begin(), quad.vertices.end());
    mesh.uvs.insert(mesh.uvs.end(), quad.uvs.begin(), quad.uvs.end());
    for (const Face& f : quad.faces)
      mesh.faces.push_back({Index(first + f.a), Index(first + f.b), Index(first + f.c), f.flags});
  }
  return mesh;
}

Mesh Cylinder(const std::string& name, float radius, float height, int segments, Vec3 base) {
  Mesh mesh;
  mesh.name = name;
  const double two_pi = 2 * std::numbers::pi;
  for (int i = 0; i < segments; ++i) {
    const double a = two_pi * i / segments;
    const float x = base[0] + static_cast<float>(radius * std::cos(a));
    const float y = base[1] + static_cast<float>(radius * std::sin(a));
    mesh.vertices.push_back({x, y, base[2]});
    mesh.vertices.push_back({x, y, base[2] + height});
  }
  const std::size_t bottom = mesh.vertices.size();
  mesh.vertices.push_back(base);
  mesh.vertices.push_back({base[0], base[1], base[2] + height});
  for (int i = 0; i < segments; ++i) {
    const std::size_t a = static_cast<std::size_t>(2 * i);
    const std::size_t b = static_cast<std::size_t>(2 * ((i + 1) % segments));
    mesh.faces.push_back({Index(a), Index(b), Index(b + 1), 0});
    mesh.faces.push_back({Index(a), Index(b + 1), Index(a + 1), 0});
    mesh.faces.push_back({Index(bottom), Index(b), Index(a), 0});
    mesh.faces.push_back({Index(bottom + 1), Index(a + 1), Index(b + 1), 0});
  }
  return mesh;
}

void AssignAll(Mesh& mesh, const std::string& material) {
  FaceGroup group{material, {}};
  for (std::size_t i = 0; i < mesh.faces.size(); ++i) group.faces.push_back(Index(i));
  mesh.groups.push_back(std::move(group));
}

}  // namespace t3ds
