// The decoders behind DecodeImage.  Each fills the target's pixels, whose
// size and channels the header gave, or throws ImageError.
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

void DecodePng(const DecodeTarget& target);
void DecodeWithStb(const DecodeTarget& target, ImageFormat format);

// "damaged image (FORMAT: reason)".
[[noreturn]] void ThrowDamaged(ImageFormat format, const char* reason);

}  // namespace torvik::images
