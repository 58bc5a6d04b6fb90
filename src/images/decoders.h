// The decoders behind DecodeImage.  Each fills `image`, whose size and
// channels are set and whose pixels are allocated, or throws ImageError.
#pragma once

#include <span>

#include "decode_image.h"

namespace torvik::images {

void DecodePng(std::span<const std::uint8_t> bytes, DecodedImage& image);
void DecodeJpeg(std::span<const std::uint8_t> bytes, DecodedImage& image);
void DecodeWithStb(std::span<const std::uint8_t> bytes, ImageFormat format, DecodedImage& image);

// "damaged image (FORMAT: reason)".
[[noreturn]] void ThrowDamaged(ImageFormat format, const char* reason);

}  // namespace torvik::images
