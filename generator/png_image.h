// Uncompressed PNG images: the generator writes PNG textures without a
// compression library, in stored (level 0) deflate blocks.
#pragma once

#include <cstdint>
#include <vector>

#include "tga_image.h"

namespace t3ds {

// The file's bytes: an 8-bit RGB PNG, rows from the top.
std::vector<std::uint8_t> PngBytes(const RgbImage& image);

}  // namespace t3ds
