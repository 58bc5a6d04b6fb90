// Texture files as glTF viewers (browsers) read them: PNG and JPEG only,
// well formed.  Each file is decoded once, within the model's budget: one
// that decodes and is a PNG or JPEG that viewers read as it is
// (ImageHeader::viewer_ready) is passed on as it is; one that decodes but
// is not (TGA, BMP, GIF, a CMYK JPEG where the decoder reads it, a PNG with
// a damaged ancillary chunk) is encoded again as PNG from its pixels; one
// that does not decode is refused.
#pragma once

#include <cstdint>
#include <vector>

#include "image_format.h"
#include "texture_budget.h"

namespace torvik::images {

struct ViewerImage {
  std::vector<std::uint8_t> bytes;
  ImageFormat format = ImageFormat::png;  // png or jpeg

  // "image/png" or "image/jpeg".
  const char* MimeType() const;
};

// Takes from `budget` the decoded pixels before decoding, and the encoded
// bytes kept where they are more than the pixels.  Throws ImageError saying
// why the image is refused (as DecodeImage, or the budget exceeded).
ViewerImage ToViewerImage(std::vector<std::uint8_t> bytes, TextureBudget& budget);

}  // namespace torvik::images
