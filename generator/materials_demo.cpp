#include "materials_demo.h"

#include <filesystem>
#include <system_error>

#include "png_image.h"
#include "shapes.h"

namespace t3ds {

namespace {

RgbImage Bricks() {
  constexpr int kSize = 64;
  RgbImage image(kSize, kSize, {170, 74, 52});
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const int row = y / 16;
      const bool mortar = y % 16 < 2 || (x + (row % 2) * 16) % 32 < 2;
      if (mortar) image.at(x, y) = {200, 196, 186};
    }
  }
  return image;
}

RgbImage Roof() {
  RgbImage image(64, 64, {150, 30, 24});
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      if (x < 32 && y < 32) image.at(x, y) = {90, 16, 12};  // marks the image's top left
  return image;
}

// The facade's colours, and its grille: bars 4 pixels wide every 16.
RgbImage Facade() {
  RgbImage image(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      image.at(x, y) = {static_cast<std::uint8_t>(60 + 2 * x), 90,
                        static_cast<std::uint8_t>(60 + 2 * y)};
  return image;
}

RgbImage Grille() {
  RgbImage image(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      if (x % 16 < 4 || y % 16 < 4) image.at(x, y) = {255, 255, 255};
  return image;
}

RgbImage Stripes() {
  RgbImage image(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if (x % 8 < 4) image.at(x, y) = {230, 230, 230};
  return image;
}

Material Plain(const std::string& name, Color diffuse) {
  Material material;
  material.name = name;
  material.ambient = Color{diffuse.r / 4, diffuse.g / 4, diffuse.b / 4};
  material.diffuse = diffuse;
  material.specular = Color{0.5f, 0.5f, 0.5f};
  return material;
}

// A quad standing on the floor along x at y, from x0 to x0 + 2, 2 high.
Mesh Wall(const std::string& name, float x0, float y) {
  Mesh wall = Quad(name, {x0, y, 0}, {x0 + 2, y, 0}, {x0 + 2, y, 2}, {x0, y, 2});
  AssignAll(wall, name);
  return wall;
}

}  // namespace

RgbImage FloorTile() {
  RgbImage image(64, 64, {214, 206, 188});
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      if (x < 2 || y < 2 || x >= 62 || y >= 62) image.at(x, y) = {40, 40, 48};
  return image;
}

RgbImage HeightRamp(bool across) {
  RgbImage image(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const auto level = static_cast<std::uint8_t>(32 * ((across ? x : 63 - y) % 8));
      image.at(x, y) = {level, level, level};
    }
  }
  return image;
}

MaterialsDemo MakeMaterialsDemo() {
  MaterialsDemo demo;
  Material floor = Plain("Floor", {0.8f, 0.8f, 0.8f});
  floor.maps = {{.name = "FLOOR.PNG", .percent = 100, .u_scale = 10, .v_scale = 10}};
  Material bricks = Plain("Bricks", {0.7f, 0.3f, 0.2f});
  bricks.maps = {
      {.name = "BRICKWAL.PNG", .u_scale = 3, .v_scale = 4.5f},
      {.id = 0xA230, .name = "BRICKWAL.PNG", .percent = 30, .u_scale = 3, .v_scale = 4.5f}};
  Material roof = Plain("Roof", {0.6f, 0.1f, 0.1f});
  roof.maps = {{.name = "ROOF.PNG",
                .tiling = 0x0002,
                .u_scale = 3.5f,
                .v_scale = 3.5f,
                .u_offset = 0.25f,
                .v_offset = 0.5f,
                .rotation = 30}};
  Material facade = Plain("Facade", {0.5f, 0.5f, 0.5f});
  facade.two_sided = true;
  facade.maps = {{.name = "FACADE_G.PNG"}, {.id = 0xA210, .name = "FACADE_G.PNG"}};
  Material lamp = Plain("Lamp", {1, 0.85f, 0.3f});
  lamp.self_illumination = 80;
  Material metal = Plain("Metal", {0.5f, 0.5f, 0.55f});
  metal.specular = Color{0.9f, 0.9f, 1};
  metal.shininess = 70;
  metal.shininess_strength = 100;
  metal.maps = {{.id = 0xA204, .name = "METAL_S.PNG"}};
  Material faded = Plain("Faded", {0.2f, 0.3f, 0.9f});
  faded.maps = {{.name = "FLOOR.PNG", .percent = 60}};
  demo.materials = {floor, bricks, roof, facade, lamp, metal, faded};

  Mesh ground = Quad("Floor", {-5, -5, 0}, {5, -5, 0}, {5, 5, 0}, {-5, 5, 0});
  AssignAll(ground, "Floor");
  Mesh lamp_box = Box("Lamp", {3, -4, 0}, {4, -3, 1});
  AssignAll(lamp_box, "Lamp");
  Mesh metal_box = TexturedBox("Metal", {-4, -4, 0}, {-3, -3, 1});
  AssignAll(metal_box, "Metal");
  demo.meshes = {ground,
                 Wall("Bricks", -5, 5),
                 Wall("Roof", -3, 5),
                 Wall("Facade", -1, 5),
                 Wall("Faded", 1, 5),
                 lamp_box,
                 metal_box};

  demo.images = {{"FLOOR.PNG", PngBytes(FloorTile())},
                 {"maps/brickwall.png", PngBytes(Bricks())},
                 {"maps/brickwall_bump.png", PngBytes(HeightRamp(true))},
                 {"maps/roof.png", PngBytes(Roof())},
                 {"facade_grillage.png", PngBytes(Facade())},
                 {"facade_grillage_alpha.png", PngBytes(Grille())},
                 {"METAL_S.PNG", PngBytes(Stripes())}};
  return demo;
}

bool SaveMaterialsDemo(const std::string& folder) {
  const MaterialsDemo demo = MakeMaterialsDemo();
  const std::filesystem::path root = folder;
  bool saved = SaveFile((root / "materials.3ds").string(), BuildFile(demo.materials, demo.meshes));
  for (const NamedFile& image : demo.images) {
    std::error_code error;
    std::filesystem::create_directories((root / image.name).parent_path(), error);
    saved = SaveFile((root / image.name).string(), image.bytes) && saved;
  }
  return saved;
}

}  // namespace t3ds
