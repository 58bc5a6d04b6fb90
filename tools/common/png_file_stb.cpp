// WritePng for builds without libpng (the cross builds for Windows): the
// PNG is encoded by the image component (stb_image_write).
#include <cstring>

#include "images/encode_png.h"
#include "png_file.h"
#include "torvik32c/bmf.h"

bool PngAvailable() { return true; }

void WritePng(const std::string& path, const Image& image) {
  static_assert(sizeof(Rgb8) == 3, "pixels are packed RGB");
  torvik::images::DecodedImage rgb;
  rgb.width = static_cast<std::uint32_t>(image.width);
  rgb.height = static_cast<std::uint32_t>(image.height);
  rgb.channels = 3;
  rgb.pixels.resize(image.pixels.size() * sizeof(Rgb8));
  if (!rgb.pixels.empty()) std::memcpy(rgb.pixels.data(), image.pixels.data(), rgb.pixels.size());
  // Through a temporary file renamed into place, like the BMF.
  torvik::WriteFileReplacing(path, torvik::images::EncodePng(rgb));
}
