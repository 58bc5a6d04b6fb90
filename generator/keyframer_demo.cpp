#include "keyframer_demo.h"

#include "shapes.h"

namespace t3ds {

namespace {

std::array<float, 12> Axes(float x_sign, Vec3 origin) {
  return {x_sign, 0, 0, 0, 1, 0, 0, 0, 1, origin[0], origin[1], origin[2]};
}

Mesh Colored(Mesh mesh, const std::string& material, std::array<float, 12> matrix) {
  AssignAll(mesh, material);
  mesh.matrix = matrix;
  return mesh;
}

}  // namespace

Scene KeyframerDemo() {
  Scene scene;
  const auto material = [](const char* name, Color diffuse) {
    return Material{name,    Color{diffuse.r * 0.3f, diffuse.g * 0.3f, diffuse.b * 0.3f},
                    diffuse, Color{0.3f, 0.3f, 0.3f},
                    {},      false,
                    ""};
  };
  scene.materials = {
      material("Stone", {0.8f, 0.78f, 0.7f}), material("Tiles", {0.75f, 0.25f, 0.2f}),
      material("Wood", {0.55f, 0.35f, 0.2f}), material("Brass", {0.85f, 0.7f, 0.3f})};
  scene.meshes = {
      Colored(Box("Pillar", {-3.4f, -0.4f, 0}, {-2.6f, 0.4f, 3}), "Stone", Axes(1, {-3, 0, 0})),
      Colored(Box("Roof", {-4, -1.2f, 0}, {4, 1.2f, 0.4f}), "Tiles", Axes(1, {0, 0, 0})),
      Colored(Box("Door", {-1, -0.1f, 0}, {1, 0.1f, 2.4f}), "Wood", Axes(1, {0, 0, 0})),
      Colored(Box("Crate", {-0.5f, 2.5f, 0}, {0.5f, 3.5f, 1}), "Wood", Axes(1, {0, 3, 0})),
      Colored(Box("Block", {4.5f, -0.5f, 0}, {5.5f, 0.5f, 0.6f}), "Brass", Axes(-1, {5, 0, 0})),
  };
  constexpr float kSixtyDegrees = 1.04719755f;
  scene.nodes = {
      {.id = 0, .name = "Pillar", .position = Vec3{-3, 0, 0}},
      {.id = 1, .name = "Pillar", .instance = "Pillar.2", .position = Vec3{3, 0, 0}},
      {.id = 2, .name = "$$$DUMMY", .instance = "Frame", .position = Vec3{0, 0, 2}},
      {.id = 3, .name = "Roof", .parent = 2, .position = Vec3{0, 0, 1}},
      {.id = 4,
       .name = "Door",
       .pivot = Vec3{-1, 0, 0},
       .position = Vec3{-1, 0, 0},
       .rotation = std::array<float, 4>{kSixtyDegrees, 0, 0, 1}},
      {.id = 5, .name = "Crate", .position = Vec3{0, 3, 0}, .scale = Vec3{1.5f, 1.5f, 1.5f}},
      {.id = 6, .name = "Block", .position = Vec3{5, 0, 0}, .scale = Vec3{-1, 1, 1}},
      {.id = 7, .name = "Block", .instance = "Block.2", .position = Vec3{5, -3, 0}},
  };
  return scene;
}

}  // namespace t3ds
