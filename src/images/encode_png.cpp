// The one translation unit that compiles stb_image_write (Debian's header);
// its functions are static here.
#include "encode_png.h"

#include <climits>
#include <cstddef>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
// clang-format off
#include "stb_warnings_off.h"
#include <stb_image_write.h>
#include "stb_warnings_on.h"
// clang-format on

namespace torvik::images {
namespace {

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* first = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), first, first + size);
}

bool Opaque(const DecodedImage& image) {
  for (std::size_t i = 3; i < image.pixels.size(); i += 4)
    if (image.pixels[i] != 0xFF) return false;
  return true;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const DecodedImage& image) {
  if ((image.channels != 3 && image.channels != 4) || image.width == 0 || image.height == 0 ||
      image.width > kMaxImageSide || image.height > kMaxImageSide ||
      image.pixels.size() != std::size_t{image.width} * image.height * image.channels)
    throw ImageError("not an image that can be encoded as PNG");
  const auto width = static_cast<int>(image.width), height = static_cast<int>(image.height);
  std::vector<std::uint8_t> png;
  int written = 0;
  if (image.channels == 4 && Opaque(image)) {
    std::vector<std::uint8_t> rgb;
    rgb.reserve(image.pixels.size() / 4 * 3);
    for (std::size_t i = 0; i < image.pixels.size(); i += 4)
      rgb.insert(rgb.end(), image.pixels.begin() + static_cast<std::ptrdiff_t>(i),
                 image.pixels.begin() + static_cast<std::ptrdiff_t>(i + 3));
    written = stbi_write_png_to_func(AppendBytes, &png, width, height, 3, rgb.data(), width * 3);
  } else {
    written = stbi_write_png_to_func(AppendBytes, &png, width, height, image.channels,
                                     image.pixels.data(), width * image.channels);
  }
  if (written == 0) throw ImageError("the image could not be encoded as PNG");
  return png;
}

}  // namespace torvik::images
