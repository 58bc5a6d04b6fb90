#include "map_placements.h"

#include <algorithm>
#include <cmath>

#include "shapes.h"

namespace t3ds {

namespace {

constexpr std::uint16_t kMirror = 0x0002, kDecal = 0x0001, kNoTiling = 0x0010;

PlacementCase Placed(const std::string& name, float u_scale, float v_scale, float u_offset = 0,
                     float v_offset = 0, float rotation = 0, std::uint16_t tiling = 0) {
  return {name,
          {.tiling = tiling,
           .u_scale = u_scale,
           .v_scale = v_scale,
           .u_offset = u_offset,
           .v_offset = v_offset,
           .rotation = rotation}};
}

}  // namespace

Rgb CheckerCell(int x, int y) {
  return {static_cast<std::uint8_t>(16 + 32 * x), static_cast<std::uint8_t>(16 + 32 * y),
          static_cast<std::uint8_t>((x + y) % 2 == 0 ? 40 : 140)};
}

RgbImage Checkerboard() {
  RgbImage image(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) image.at(x, y) = CheckerCell(x / 8, y / 8);
  return image;
}

RgbImage Domes() {
  RgbImage image(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      if ((x / 16 + y / 16) % 2 != 0) continue;
      // The distance from the cell's centre, over the dome's radius of 7.
      const double dx = (x % 16 + 0.5 - 8) / 7, dy = (y % 16 + 0.5 - 8) / 7;
      const double rise = 1 - dx * dx - dy * dy;
      const auto level = static_cast<std::uint8_t>(255 * std::sqrt(std::max(rise, 0.0)) + 0.5);
      image.at(x, y) = {level, level, level};
    }
  }
  return image;
}

std::vector<PlacementCase> TilingCases() {
  return {Placed("Identity", 1, 1),
          Placed("Odd3", 3, 3),
          Placed("Even2", 2, 2),
          Placed("Even10", 10, 10),
          Placed("Fraction3.5", 3.5f, 3.5f),
          Placed("Uneven2x0.5", 2, 0.5f),
          Placed("Offset", 1, 1, 0.25f, 0.125f),
          Placed("Turned30", 1, 1, 0, 0, 30),
          Placed("Turned90", 1, 1, 0, 0, 90),
          Placed("Scaled2Offset", 2, 2, 0.25f, -0.125f),
          Placed("All3.5x1.5", 3.5f, 1.5f, 0.1f, 0.3f, 30),
          Placed("All4", 4, 4, -0.3f, 0.15f, -60)};
}

std::vector<PlacementCase> MirrorCases() {
  return {Placed("Mirror1", 1, 1, 0, 0, 0, kMirror), Placed("Mirror2", 2, 2, 0, 0, 0, kMirror),
          Placed("MirrorOffset", 1.5f, 1.5f, 0.25f, 0.1f, 0, kMirror),
          Placed("MirrorTurned", 2, 2, 0, 0, 30, kMirror)};
}

std::vector<PlacementCase> DecalCases() {
  return {Placed("Decal", 2, 2, 0, 0, 0, kDecal),
          Placed("NoTile", 2, 1.5f, 0.25f, -0.25f, 0, kNoTiling),
          Placed("DecalTurned", 1.5f, 1.5f, 0.1f, 0, 30, kDecal)};
}

std::vector<PlacementCase> BumpCases() {
  return {Placed("Bump0", 1, 1),
          Placed("Bump90", 1, 1, 0, 0, 90),
          Placed("Bump180", 1, 1, 0, 0, 180),
          Placed("Bump270", 1, 1, 0, 0, 270),
          Placed("BumpMirror", 1, 1, 0, 0, 0, kMirror),
          Placed("BumpNegative", -1, 1),
          Placed("BumpTurned2", 2, 2, 0.1f, 0, 45)};
}

MaterialsDemo PlacedMaps(const std::vector<PlacementCase>& cases, std::uint16_t id,
                         const std::string& file) {
  MaterialsDemo demo;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const PlacementCase& placed = cases[i];
    Material material;
    material.name = placed.name;
    material.diffuse = kRowDiffuse;
    material.maps = {placed.map};
    material.maps[0].id = id;
    material.maps[0].name = file;
    demo.materials.push_back(material);
    // Five to a row, the rows from the top down.
    const float x = 1.25f * static_cast<float>(i % 5), y = -1.25f * static_cast<float>(i / 5);
    demo.meshes.push_back(
        Quad(placed.name, {x, y, 0}, {x + 1, y, 0}, {x + 1, y + 1, 0}, {x, y + 1, 0}));
    AssignAll(demo.meshes.back(), placed.name);
  }
  return demo;
}

}  // namespace t3ds
