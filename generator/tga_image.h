// Uncompressed 24-bit TGA images: the generator's textures, which every
// image reader takes and which need no compression library to write.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace t3ds {

using Rgb = std::array<std::uint8_t, 3>;

// An image of `width` x `height` pixels (at most 65535 each), rows from the
// top, left to right.
struct RgbImage {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;

  RgbImage(int w, int h, Rgb fill = {0, 0, 0})
      : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
  Rgb& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The file's bytes, stored top row first.
std::vector<std::uint8_t> TgaBytes(const RgbImage& image);

}  // namespace t3ds
