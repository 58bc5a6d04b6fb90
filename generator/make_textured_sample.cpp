// Writes the textured sample: a crate standing on a tiled floor, and the two
// textures it uses, drawn here, stored the way real models often name them.
// The crate's texture is named "C:\3DSMAX\MAPS\CRATE.TGA" and lies in
// crate_maps/Crate.tga beside the model; the floor's is named by the cut
// 8.3 form "FLOORTIL.TGA" of crate_maps/floortiles.tga.
//   make_textured_sample FOLDER   writes FOLDER/crate.3ds and FOLDER/crate_maps/
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "shapes.h"
#include "tga_image.h"

namespace {

using t3ds::Rgb;
using t3ds::RgbImage;

std::uint8_t Channel(double value) {
  return static_cast<std::uint8_t>(std::lround(std::fmin(std::fmax(value, 0.0), 255.0)));
}

Rgb Scaled(Rgb c, double factor) {
  return {Channel(c[0] * factor), Channel(c[1] * factor), Channel(c[2] * factor)};
}

// Planks behind a frame and a diagonal brace, with nails at the corners.
RgbImage CrateTexture() {
  constexpr int kSize = 256, kFrame = 26, kPlank = 34;
  const Rgb wood{168, 112, 60}, frame{120, 76, 38}, nail{60, 60, 66};
  RgbImage image(kSize, kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const int plank = y / kPlank;
      const double grain = 0.9 + 0.06 * std::sin(x * 0.11 + plank * 1.7) +
                           0.04 * std::sin(x * 0.53 + y * 0.07 + plank);
      Rgb c = Scaled(wood, grain * (0.92 + 0.05 * (plank % 3)));
      if (y % kPlank < 2) c = Scaled(wood, 0.45);  // the gaps between planks
      const bool in_frame = x < kFrame || y < kFrame || x >= kSize - kFrame || y >= kSize - kFrame;
      const bool in_brace = std::abs(x - (kSize - 1 - y)) < kFrame * 0.75;
      if (in_frame || in_brace) {
        c = Scaled(frame, 0.95 + 0.05 * std::sin(x * 0.3 + y * 0.3));
        const int edge = std::min({x, y, kSize - 1 - x, kSize - 1 - y});
        if (in_frame && (edge < 2 || edge == kFrame - 1)) c = Scaled(frame, 0.6);
      }
      for (const int cx : {kFrame / 2, kSize - kFrame / 2})
        for (const int cy : {kFrame / 2, kSize - kFrame / 2})
          if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= 16) c = nail;
      image.at(x, y) = c;
    }
  }
  return image;
}

// Four by four tiles of two colours with grout between them.
RgbImage FloorTexture() {
  constexpr int kSize = 256, kTile = 64, kGrout = 3;
  const Rgb light{206, 204, 192}, dark{72, 96, 128}, grout{52, 52, 56};
  RgbImage image(kSize, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      image.at(x, y) = (x % kTile < kGrout || y % kTile < kGrout) ? grout
                       : ((x / kTile + y / kTile) % 2 == 0)       ? light
                                                                  : dark;
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_textured_sample FOLDER\n");
    return 2;
  }
  using namespace t3ds;
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder / "crate_maps", error);
  if (error) {
    std::fprintf(stderr, "make_textured_sample: %s: %s\n", (folder / "crate_maps").string().c_str(),
                 error.message().c_str());
    return 1;
  }
  const std::vector<Material> materials = {
      {"Crate",
       Color{0.2f, 0.13f, 0.07f},
       Color{0.65f, 0.45f, 0.25f},
       Color{0.2f, 0.2f, 0.2f},
       {},
       false,
       "C:\\3DSMAX\\MAPS\\CRATE.TGA"},
      {"Floor",
       Color{0.15f, 0.15f, 0.15f},
       Color{0.6f, 0.6f, 0.6f},
       Color{0.5f, 0.5f, 0.5f},
       {},
       false,
       "FLOORTIL.TGA"},
  };
  Mesh crate = TexturedBox("Crate", {-1, -1, 0}, {1, 1, 2});
  AssignAll(crate, "Crate");
  Mesh floor = Quad("Floor", {-3, -3, 0}, {3, -3, 0}, {3, 3, 0}, {-3, 3, 0});
  for (Vec2& uv : floor.uvs) uv = {uv[0] * 3, uv[1] * 3};  // the tiles repeat three times
  AssignAll(floor, "Floor");
  const bool saved =
      SaveFile((folder / "crate.3ds").string(), BuildFile(materials, {crate, floor})) &&
      SaveFile((folder / "crate_maps" / "Crate.tga").string(), TgaBytes(CrateTexture())) &&
      SaveFile((folder / "crate_maps" / "floortiles.tga").string(), TgaBytes(FloorTexture()));
  return saved ? 0 : 1;
}
