// The preview of simple known models: background where the model isn't,
// the block's colour where it is, the nearer surface in front, back faces
// marked.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "preview_renderer.h"
#include "torvik32c/material_maps.h"

namespace {

// A block of one colour whose triangles are given by their corners; every
// normal points to -z, towards a camera at yaw 0 and pitch 0.
torvik::BmfBlock Triangles(torvik::BMF_RGBCOLOR diffuse,
                           const std::vector<std::array<std::array<float, 3>, 3>>& triangles) {
  torvik::BmfBlock block;
  block.name_field = std::string(1, '\0');
  block.diffuse = diffuse;
  for (const auto& triangle : triangles) {
    const auto first = static_cast<std::uint16_t>(block.vertices.size());
    for (const auto& p : triangle) block.vertices.push_back({0, 0, 0, 0, -1, p[0], p[1], p[2]});
    block.triangles.push_back(
        {first, static_cast<std::uint16_t>(first + 1), static_cast<std::uint16_t>(first + 2)});
  }
  return block;
}

constexpr torvik::BMF_RGBCOLOR kRed{1, 0, 0, 1}, kBlue{0, 0, 1, 1};
const PreviewOptions kFront{64, 0, 0};

bool Reddish(Rgb8 c) { return c.r > c.g + 40 && c.r > c.b + 40; }
bool Bluish(Rgb8 c) { return c.b > c.r + 40 && c.b > c.g + 40; }

TEST(Preview, BackgroundWhereTheModelIsNot) {
  torvik::BmfFile file;
  // The lower left half of a square, wound towards the camera.
  file.blocks.push_back(Triangles(kRed, {{{{-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}}}}));
  const Image image = RenderPreview(file, kFront);
  ASSERT_EQ(image.width, 64);
  ASSERT_EQ(image.height, 64);
  EXPECT_EQ(image.At(60, 3), kPreviewBackground);   // top right: outside
  EXPECT_EQ(image.At(40, 20), kPreviewBackground);  // just above the diagonal
  EXPECT_EQ(image.At(1, 1), kPreviewBackground);    // the margin
  for (const auto& [x, y] : {std::pair{10, 50}, {20, 40}, {6, 20}, {50, 55}})
    EXPECT_TRUE(Reddish(image.At(x, y))) << x << "," << y;

  const Image empty = RenderPreview(torvik::BmfFile{}, kFront);
  EXPECT_TRUE(std::all_of(empty.pixels.begin(), empty.pixels.end(),
                          [](Rgb8 c) { return c == kPreviewBackground; }));
}

TEST(Preview, TheNearerSurfaceHidesTheFartherInEitherOrder) {
  const auto near = Triangles(kRed, {{{{-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}}}});
  const auto far = Triangles(kBlue, {{{{-1, -1, 1}, {-1, 1, 1}, {1, 1, 1}}}});
  for (const bool near_first : {true, false}) {
    torvik::BmfFile file;
    file.blocks = near_first ? std::vector{near, far} : std::vector{far, near};
    const Image image = RenderPreview(file, kFront);
    EXPECT_TRUE(Reddish(image.At(14, 32))) << near_first;  // both cover it
    EXPECT_TRUE(Bluish(image.At(20, 12))) << near_first;   // only the far one
  }
}

TEST(Preview, BackFacesAreStripedAndSeenFromBehindTheyStayVisible) {
  torvik::BmfFile file;
  // Wound away from the camera: a back face.
  file.blocks.push_back(Triangles(kBlue, {{{{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}}}}));
  const Image image = RenderPreview(file, kFront);
  int red = 0, blue = 0;
  for (int x = 4; x < 30; ++x) {
    red += Reddish(image.At(x, 45));
    blue += image.At(x, 45) != kPreviewBackground && !Reddish(image.At(x, 45));
  }
  EXPECT_GT(red, 4);
  EXPECT_GT(blue, 4);
  // Turned around, the same triangle faces the camera and has no stripes.
  const Image behind = RenderPreview(file, PreviewOptions{64, 180, 0});
  for (int x = 34; x < 60; ++x) EXPECT_FALSE(Reddish(behind.At(x, 45))) << x;
}

}  // namespace

namespace {

// The luminance-ish brightness of a pixel.
int Brightness(Rgb8 c) { return c.r + c.g + c.b; }

}  // namespace

// A square facing the camera, its texture coordinates 0 to 1 across it, its
// texture one tile with a dark border tiled 4 x 4 by its map, about the
// tile's centre: the square's middle is a tile's middle, so the dark lines
// fall a quarter of the square apart, an eighth from its edges, across and
// up.
TEST(Preview, AMapsTilingPutsTheTileBoundariesWhereTheGltfDoes) {
  torvik::BmfFile file;
  torvik::BmfBlock block = Triangles({1, 1, 1, 1}, {{{{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}}},
                                                    {{{-1, -1, 0}, {1, 1, 0}, {1, -1, 0}}}});
  for (torvik::BMF_UNVERTEX& vertex : block.vertices) {
    vertex.u = (vertex.x + 1) / 2;
    vertex.v = (vertex.y + 1) / 2;
  }
  file.blocks.push_back(block);
  Image tile{64, 64, std::vector<Rgb8>(64 * 64, Rgb8{220, 220, 220}), {}};
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      if (x < 2 || y < 2 || x >= 62 || y >= 62) tile.pixels[y * 64 + x] = {20, 20, 20};
  torvik::H3dsTextureMap map;
  map.u_scale = map.v_scale = 4;
  const PreviewSurface surface{torvik::MapPlacement(map), torvik::MapWrapOf(map)};
  const Image* textures[] = {&tile};
  const Image image = RenderPreview(file, {256, 0, 0}, textures, std::span(&surface, 1));

  // The square's extent along the middle row and column.
  int left = 256, right = -1, top = 256, bottom = -1;
  for (int i = 0; i < 256; ++i) {
    if (image.At(i, 128) != kPreviewBackground) left = std::min(left, i), right = i;
    if (image.At(128, i) != kPreviewBackground) top = std::min(top, i), bottom = i;
  }
  ASSERT_GT(right - left, 100);
  ASSERT_GT(bottom - top, 100);
  const double width = right + 1 - left, height = bottom + 1 - top;
  const int light = Brightness(image.At(left + static_cast<int>(width / 4), 128 + 5));
  for (int k = 0; k < 4; ++k) {
    const int x = left + static_cast<int>((k + 0.5) * width / 4);
    const int y = top + static_cast<int>((k + 0.5) * height / 4);
    EXPECT_LT(Brightness(image.At(x, 128 + 5)), light / 2) << "across, " << k;
    EXPECT_LT(Brightness(image.At(128 + 5, y)), light / 2) << "up, " << k;
    // Mid-tile is light.
    const int mid = left + static_cast<int>((k + 1) * width / 4);
    if (k < 3) {
      EXPECT_GT(Brightness(image.At(mid, 128 + 5)), light * 3 / 4) << "mid-tile, " << k;
    }
  }
}
