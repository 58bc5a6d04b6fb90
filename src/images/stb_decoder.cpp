// The one translation unit that compiles stb_image (Debian's header), with
// only the formats that it decodes in this build: JPEG, TGA, BMP and GIF
// always, and PNG where libpng is missing.  Its
// functions are static here, so they neither clash with nor stand in for
// another copy of stb_image that a program links.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "decoder_memory.h"
#include "decoders.h"
#include "jpeg_survey.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 65535
// The one block it grows, a PNG's inflated data, grows to the decoder's
// allowance at most: a compressed stream that inflates past what its image
// needs is cut off there.
#define STBI_MALLOC(size) malloc(size)
#define STBI_REALLOC_SIZED(block, old_size, size) torvik::images::DecoderGrow(block, size)
#define STBI_FREE(block) free(block)
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#ifndef TORVIK_IMAGES_NATIVE_PNG
#define STBI_ONLY_PNG
#endif
// clang-format off
#include "stb_warnings_off.h"
#include <stb_image.h>
#include "stb_warnings_on.h"
// clang-format on

static_assert(STBI_MAX_DIMENSIONS == torvik::images::kMaxImageSide);

namespace torvik::images {
namespace {

struct PixelsFree {
  void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

void DecodeWithStb(const DecodeTarget& target, ImageFormat format) {
  if (target.size > static_cast<std::size_t>(INT_MAX))
    ThrowDamaged(format, "the file is too large");
  if (format == ImageFormat::jpeg) {
    const JpegSurvey survey = SurveyJpeg({target.data, target.size}, kMaxJpegScans);
    // The decoder would build such a table past the end of its own.
    if (survey.oversized_huffman_table)
      ThrowDamaged(format, ("a Huffman table of more than " +
                            std::to_string(kMaxJpegHuffmanCodes) + " codes")
                               .c_str());
    // Each scan of a progressive JPEG is a pass over the whole image: more
    // than an encoder writes are refused before any is decoded.
    if (survey.scans > kMaxJpegScans)
      ThrowDamaged(format, ("more than " + std::to_string(kMaxJpegScans) + " scans").c_str());
  }
  int width = 0, height = 0, stored_channels = 0;
  const std::unique_ptr<stbi_uc, PixelsFree> pixels(
      stbi_load_from_memory(target.data, static_cast<int>(target.size), &width, &height,
                            &stored_channels, target.channels));
  if (!pixels) {
    const char* reason = stbi_failure_reason();
    ThrowDamaged(format, reason != nullptr ? reason : "unknown error");
  }
  if (static_cast<std::uint32_t>(width) != target.width ||
      static_cast<std::uint32_t>(height) != target.height)
    ThrowDamaged(format, "the size differs from the header's");
  std::memcpy(
      target.pixels, pixels.get(),
      std::size_t{target.width} * target.height * static_cast<std::size_t>(target.channels));
}

}  // namespace torvik::images
