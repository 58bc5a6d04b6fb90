// JPEG images for tests: baseline, 4:2:0 chroma subsampling, written by
// stb_image_write from Debian's libstb-dev.  Their pixels are what decoders
// round differently (the inverse DCT, the chroma upsampling), unlike the flat
// JpegBytes of image_files.h.
#pragma once

#include <cstdint>
#include <vector>

#include "tga_image.h"

namespace t3ds {

// The file's bytes at `quality` (1 to 90: the chroma is subsampled).
std::vector<std::uint8_t> JpegFile(const RgbImage& image, int quality = 75);

}  // namespace t3ds
