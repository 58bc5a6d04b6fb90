// An image's size as its header states it, checked before any decoding.
#pragma once

#include <cstdint>
#include <span>

#include "image_format.h"

namespace torvik::images {

// The largest image decoded: 64 megapixels (8192 x 8192), about 200 MB of
// RGB pixels, and no side longer than 65535 pixels.
inline constexpr std::uint64_t kMaxImagePixels = std::uint64_t{8192} * 8192;
inline constexpr std::uint64_t kMaxImageSide = 65535;

struct ImageHeader {
  ImageFormat format = ImageFormat::png;
  // Absolute sizes: a BMP stored top down (a negative height) counts its
  // rows as they are.
  std::uint32_t width = 0, height = 0;

  std::uint64_t Pixels() const { return std::uint64_t{width} * height; }
};

// The format (DetectImageFormat) and the size in the header, with the one
// size check that every decoding passes: an image without pixels is refused
// as empty, one over kMaxImagePixels or with a side over kMaxImageSide as too
// large.  Throws ImageError saying which, or that the header is damaged or
// cut short.
ImageHeader ReadImageHeader(std::span<const std::uint8_t> bytes);

// The size check alone, on sizes as a header states them, in 64-bit
// arithmetic.  Throws ImageError.
void CheckImageSize(std::int64_t width, std::int64_t height);

}  // namespace torvik::images
