#include "tga_image.h"

namespace t3ds {

std::vector<std::uint8_t> TgaBytes(const RgbImage& image) {
  std::vector<std::uint8_t> bytes = {
      0,
      0,
      2,  // no id, no colour map, uncompressed true colour
      0,
      0,
      0,
      0,
      0,  // colour map: none
      0,
      0,
      0,
      0,  // origin
      static_cast<std::uint8_t>(image.width & 0xFF),
      static_cast<std::uint8_t>(image.width >> 8),
      static_cast<std::uint8_t>(image.height & 0xFF),
      static_cast<std::uint8_t>(image.height >> 8),
      24,    // bits per pixel
      0x20,  // rows stored from the top
  };
  bytes.reserve(bytes.size() + image.pixels.size() * 3);
  for (const Rgb& p : image.pixels) bytes.insert(bytes.end(), {p[2], p[1], p[0]});  // BGR
  return bytes;
}

}  // namespace t3ds
