// Decoded images encoded as PNG files, as the glTF export embeds them.
#pragma once

#include <cstdint>
#include <vector>

#include "decode_image.h"

namespace torvik::images {

// The PNG file of the image; RGB when every pixel of an RGBA image is
// opaque.  Throws ImageError when it can't be encoded.
std::vector<std::uint8_t> EncodePng(const DecodedImage& image);

}  // namespace torvik::images
