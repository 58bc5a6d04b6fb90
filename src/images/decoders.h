// The decoders behind DecodeImage.  Each fills `image`, whose size and
// channels are set and whose pixels are allocated, or throws ImageError.
#pragma once

#include <span>

#include "decode_image.h"

namespace torvik::images {

// What a C-style decoding function reads and where it writes: plain data,
// safe to hold across setjmp.
struct DecodeTarget {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t* pixels;  // width x height x channels bytes
  std::uint32_t width, height;
  int channels;
};

inline DecodeTarget TargetOf(std::span<const std::uint8_t> bytes, DecodedImage& image) {
  return {bytes.data(), bytes.size(), image.pixels.data(),
          image.width,  image.height, image.channels};
}

void DecodePng(std::span<const std::uint8_t> bytes, DecodedImage& image);
void DecodeJpeg(std::span<const std::uint8_t> bytes, DecodedImage& image);
void DecodeWithStb(std::span<const std::uint8_t> bytes, ImageFormat format, DecodedImage& image);

// "damaged image (FORMAT: reason)".
[[noreturn]] void ThrowDamaged(ImageFormat format, const char* reason);

}  // namespace torvik::images
