// Maps placed in the ways 3D Studio places them, on a row of squares whose
// faces have texture coordinates 0 to 1: each square's material holds one
// map that lies as its case says.  For the tests that check where the
// exports draw a map and which way its relief stands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "materials_demo.h"

namespace t3ds {

// A checkerboard of 8 x 8 cells of 8 pixels, each cell a colour of its own
// (red by its column, green by its row, blue dark and light in turn), so
// that where and which way up and round the image lies shows: 64 x 64.
RgbImage Checkerboard();
// The colour of the cell in column `x` and row `y` (from the top left).
Rgb CheckerCell(int x, int y);

// Heights: a dome in every other cell of a checkerboard of 4 x 4 cells of
// 16 pixels, 0 around them and 255 at their tops; 64 x 64.
RgbImage Domes();

// One map's placement: its scales, offsets, rotation and tiling flags (the
// map's id and file name are the row's).
struct PlacementCase {
  std::string name;
  MapChunk map;
};

// The twelve placements of a tiled map: scales odd, even and fractional,
// offsets, rotations, and the three combined.
std::vector<PlacementCase> TilingCases();
// Mirrored maps (tiling flag 0x0002): at tiling 1, 2, and with an offset
// and a rotation.
std::vector<PlacementCase> MirrorCases();
// Maps shown once: decal (0x0001) and no tiling (0x0010), smaller than the
// square, offset and turned.
std::vector<PlacementCase> DecalCases();
// Bump maps turned 0, 90, 180 and 270 degrees, mirrored by the tiling flag
// and by a negative scale.
std::vector<PlacementCase> BumpCases();

// The diffuse colour of every material of the row: what a map shown once
// leaves around it.
inline constexpr Color kRowDiffuse{0.2f, 0.3f, 0.9f};

// A square per case, five to a row in the file's x-y plane (u along x, v
// along y), each with a material named after its case whose map `id`
// (0xA200 texture 1, 0xA230 bump, ...) names `file` and lies as the case
// says.
MaterialsDemo PlacedMaps(const std::vector<PlacementCase>& cases, std::uint16_t id,
                         const std::string& file);

}  // namespace t3ds
