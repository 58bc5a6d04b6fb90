// Image files decoded into 8-bit pixels: PNG by libpng where the build has
// it, by stb_image otherwise; JPEG, TGA, BMP and GIF (its first frame) by
// stb_image on every build, so that every build decodes a JPEG to the same
// pixels.  Every image passes ReadImageHeader's checks before any pixel is
// decoded.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image_header.h"
#include "texture_budget.h"

namespace torvik::images {

struct DecodedImage {
  std::uint32_t width = 0, height = 0;
  int channels = 0;                  // 3 (RGB) or 4 (RGBA)
  std::vector<std::uint8_t> pixels;  // rows from the top, left to right

  std::size_t Bytes() const { return pixels.size(); }
};

// The bytes of an image decoded into `channels` (3 or 4) channels per pixel,
// the first row at the top whatever order the file stores them in; an
// image without alpha has 255 there.  Throws ImageError saying why when the
// bytes are not decoded (the header's reasons, or a damaged image).
DecodedImage DecodeImage(std::span<const std::uint8_t> bytes, int channels);
// The same for a header that ReadImageHeader returned for these bytes.
DecodedImage DecodeImage(std::span<const std::uint8_t> bytes, const ImageHeader& header,
                         int channels);
// The same within a model's budget: the bytes the decoded pixels take are
// taken from `budget` once the header is read and before anything is
// decoded, so that a few bytes that claim a large image cost their pixels.
// Throws ImageError with budget.Exceeded() when they don't fit.
DecodedImage DecodeImage(std::span<const std::uint8_t> bytes, int channels, TextureBudget& budget);

// DecodeImage into `pixels`, which holds DecodedBytes(header, channels)
// bytes, for a header that ReadImageHeader returned for these bytes.  The
// decoder's own memory is bounded by DecoderMemoryLimit (decoder_memory.h):
// data that would need more is refused as damaged.
void DecodeImageInto(std::span<const std::uint8_t> bytes, const ImageHeader& header, int channels,
                     std::span<std::uint8_t> pixels);

// What decoding an image of this header into `channels` channels takes.
inline std::uint64_t DecodedBytes(const ImageHeader& header, int channels) {
  return header.Pixels() * static_cast<std::uint64_t>(channels);
}

// Which decoder reads a format in this build: "libpng" or "stb_image".
const char* DecoderOf(ImageFormat format);

}  // namespace torvik::images
