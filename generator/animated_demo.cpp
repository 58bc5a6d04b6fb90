#include "animated_demo.h"

#include "shapes.h"

namespace t3ds {

namespace {

constexpr float kThirdTurn = 2.09439510f;  // 2 pi / 3

Mesh Colored(Mesh mesh, const std::string& material, Vec3 origin) {
  AssignAll(mesh, material);
  mesh.matrix = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, origin[0], origin[1], origin[2]};
  return mesh;
}

// Where the rider stands at `frame`, nearly: the arm's turn applied to its
// keys' position in the arm's frame, blended linearly between keys.
Vec3 RiderNear(std::uint32_t frame) {
  const Vec3 a{3.5f, 0, 0.7f}, b{2, 0, 1.7f}, c{3.5f, 0, 1.2f};
  const float u =
      frame <= 60 ? static_cast<float>(frame) / 60 : static_cast<float>(frame - 60) / 60;
  const Vec3& from = frame <= 60 ? a : b;
  const Vec3& to = frame <= 60 ? b : c;
  Vec3 p;
  for (int i = 0; i < 3; ++i) p[i] = from[i] + (to[i] - from[i]) * u;
  // A turn of 2 pi over 120 frames, by a polynomial that is exact enough
  // for a target: cos and sin of the quarter turns between.
  const int quarter = static_cast<int>(frame / 30) % 4;
  const float cs[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  const float x = p[0] * cs[quarter][0] - p[1] * cs[quarter][1];
  const float y = p[0] * cs[quarter][1] + p[1] * cs[quarter][0];
  return {0.5f + x, y, 1 + p[2]};
}

}  // namespace

AnimatedScene AnimatedDemo() {
  AnimatedScene animated;
  Scene& scene = animated.scene;
  const auto material = [](const char* name, Color diffuse) {
    return Material{name,    Color{diffuse.r * 0.3f, diffuse.g * 0.3f, diffuse.b * 0.3f},
                    diffuse, Color{0.3f, 0.3f, 0.3f},
                    {},      false,
                    ""};
  };
  scene.materials = {material("Stone", {0.7f, 0.7f, 0.68f}), material("Paint", {0.8f, 0.2f, 0.15f}),
                     material("Brass", {0.85f, 0.7f, 0.3f}), material("Cloth", {0.2f, 0.4f, 0.8f})};
  scene.meshes = {
      Colored(Box("Ground", {-6, -6, -0.2f}, {6, 6, 0}), "Stone", {0, 0, 0}),
      Colored(Box("Arm", {0.2f, -0.3f, 1}, {4.5f, 0.3f, 1.4f}), "Paint", {0, 0, 1}),
      Colored(Box("Rider", {3.7f, -0.3f, 1.4f}, {4.3f, 0.3f, 2}), "Brass", {4, 0, 1.7f}),
      Colored(Box("Flag", {-4, -4, 0}, {-3.6f, -3.6f, 2.5f}), "Cloth", {-3.8f, -3.8f, 0}),
  };
  std::vector<Key<4>> turn = {{.frame = 0, .value = {0, 0, 0, -1}}};
  for (const std::uint32_t frame : {40u, 80u, 120u})
    turn.push_back({.frame = frame, .value = {kThirdTurn, 0, 0, -1}});
  std::vector<Key<3>> follow;
  for (std::uint32_t frame = 0; frame <= 120; frame += 30)
    follow.push_back({.frame = frame, .value = RiderNear(frame)});
  scene.nodes = {
      {.id = 0, .name = "Ground", .position = Vec3{0, 0, 0}},
      {.id = 1,
       .name = "Arm",
       .pivot = Vec3{0.5f, 0, 0},
       .position = Vec3{0.5f, 0, 1},
       .rotation_keys = turn},
      {.id = 2,
       .name = "Rider",
       .parent = 1,
       .position_keys = {{.frame = 0, .value = {3.5f, 0, 0.7f}, .spline = {0, 0, 0, 0, 0.5f}},
                         {.frame = 60, .value = {2, 0, 1.7f}, .spline = {0.5f, 0, 0, 0, 0}},
                         {.frame = 120, .value = {3.5f, 0, 1.2f}}}},
      {.id = 3, .name = "Flag", .position = Vec3{-3.8f, -3.8f, 0}, .hide_frames = {60, 90}},
      {.id = 4,
       .name = "Chase",
       .kind = 0xB003,
       .position_keys = {{.frame = 0, .value = {9, -9, 6}},
                         {.frame = 60, .value = {-9, -9, 7}},
                         {.frame = 120, .value = {-9, 9, 6}}},
       .fov_keys = {{.frame = 0, .value = {48}}},
       .roll_keys = {{.frame = 0, .value = {0}}}},
      {.id = 5, .name = "Chase", .kind = 0xB004, .position_keys = follow},
      {.id = 6, .name = "Lamp", .position = Vec3{-5, -4, 8}, .kind = 0xB005},
      {.id = 7, .name = "Spot", .position = Vec3{6, 6, 9}, .kind = 0xB007},
      {.id = 8, .name = "Spot", .position = Vec3{0, 0, 0}, .kind = 0xB006},
  };
  animated.extras.cameras = {{.name = "Chase", .position = {9, -9, 6}, .target = RiderNear(0)}};
  animated.extras.lights = {
      {.name = "Lamp", .position = {-5, -4, 8}, .color = {1, 0.9f, 0.8f}, .multiplier = 1.2f},
      {.name = "Spot",
       .position = {6, 6, 9},
       .color = {0.6f, 0.7f, 1},
       .spot = true,
       .target = {0, 0, 0},
       .hotspot = 30,
       .falloff = 45},
  };
  animated.extras.frames = std::array<std::uint32_t, 2>{0, 120};
  return animated;
}

AnimatedScene AimedLightsDemo() {
  AnimatedScene lit;
  Scene& scene = lit.scene;
  scene.materials = {
      {.name = "Stone",
       .ambient = {},
       .diffuse = Color{0.6f, 0.6f, 0.55f},
       .specular = {},
       .transparency = {}},
      {.name = "Shiny",
       .ambient = {},
       .diffuse = Color{0.8f, 0.8f, 0.8f},
       .specular = Color{1, 1, 1},
       .transparency = {},
       .shininess = 60,
       .shininess_strength = 80},
  };
  Mesh floor = Box("Floor", {-5, -5, -0.2f}, {5, 5, 0});
  AssignAll(floor, "Stone");
  Mesh post = Box("Post", {-0.5f, -0.5f, 0}, {0.5f, 0.5f, 3});
  AssignAll(post, "Shiny");
  scene.meshes = {floor, post};
  constexpr std::uint16_t kRoot = 0xFFFF;
  scene.nodes = {
      {.id = 0, .name = "Floor", .position = Vec3{0, 0, 0}},
      {.id = 1, .name = "Post", .position = Vec3{30, 0, 0}},
      {.id = 2,
       .name = "$$$DUMMY",
       .instance = "Rig",
       .position_keys = {{.frame = 0, .value = {0, 0, 4}}, {.frame = 20, .value = {10, 5, 4}}},
       .rotation_keys = {{.frame = 0, .value = {0, 0, 0, 1}},
                         {.frame = 20, .value = {1, 0, 0, -1}}}},
      {.id = 3, .name = "Cam", .parent = 2, .position = Vec3{2, 0, 0}, .kind = 0xB004},
      {.id = 4,
       .name = "Cam",
       .parent = kRoot,
       .kind = 0xB003,
       .position_keys = {{.frame = 0, .value = {-10, -10, 8}}, {.frame = 20, .value = {-12, 6, 9}}},
       .roll_keys = {{.frame = 0, .value = {0}}}},
      {.id = 5, .name = "Spot", .position = Vec3{3, 3, 0}, .kind = 0xB006},
      {.id = 6,
       .name = "Spot",
       .position = Vec3{-6, 6, 10},
       .kind = 0xB007,
       .hotspot_keys = {{.frame = 0, .value = {20}}, {.frame = 10, .value = {30}}},
       .falloff_keys = {{.frame = 0, .value = {40}}}},
      {.id = 7, .name = "Wide", .parent = 1, .position = Vec3{0, 0, 5}, .kind = 0xB007},
      {.id = 8, .name = "Wide", .position = Vec3{0, 0, 0}, .kind = 0xB006},
      {.id = 9,
       .name = "Lamp",
       .position = Vec3{5, -5, 10},
       .kind = 0xB005,
       .color_keys = {{.frame = 0, .value = {1, 1, 1}}, {.frame = 20, .value = {1, 0.5f, 0.2f}}}},
  };
  lit.extras.cameras = {{.name = "Cam", .position = {-10, -10, 8}, .target = {2, 0, 4}}};
  lit.extras.lights = {
      {.name = "Spot",
       .position = {-6, 6, 10},
       .spot = true,
       .target = {3, 3, 0},
       .hotspot = 20,
       .falloff = 40},
      {.name = "Wide",
       .position = {30, 0, 5},
       .color = {1, 0.9f, 0.7f},
       .spot = true,
       .target = {0, 0, 0},
       .hotspot = 190,
       .falloff = 200},
      {.name = "Lamp", .position = {5, -5, 10}, .multiplier = 1.5f},
  };
  lit.extras.frames = std::array<std::uint32_t, 2>{0, 20};
  return lit;
}

std::vector<std::uint8_t> BuildFile(const AnimatedScene& animated) {
  const Scene& scene = animated.scene;
  return BuildFile(scene.materials, scene.meshes, scene.nodes, animated.extras);
}

}  // namespace t3ds
