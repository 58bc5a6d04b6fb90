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
  // A PNG or JPEG that viewers of glTF (browsers) read as it is: a PNG whose
  // chunks are all well formed (CheckPngChunks), a baseline, extended or
  // progressive JPEG of 8 bits and 1 or 3 components (not CMYK, YCCK, two
  // components, arithmetic coding or 12 bits).
  bool viewer_ready = false;

  std::uint64_t Pixels() const { return std::uint64_t{width} * height; }
};

// The format (DetectImageFormat) and the size in the header, with the one
// size check that every decoding passes: an image without pixels is refused
// as empty, one over kMaxImagePixels or with a side over kMaxImageSide as too
// large.  A PNG's chunks are walked too (CheckPngChunks in png_chunks.h).
// Throws ImageError saying which, or that the header or a PNG's chunks are
// damaged or cut short.
ImageHeader ReadImageHeader(std::span<const std::uint8_t> bytes);

// The size check alone, on sizes as a header states them, in 64-bit
// arithmetic.  Throws ImageError.
void CheckImageSize(std::int64_t width, std::int64_t height);

}  // namespace torvik::images
