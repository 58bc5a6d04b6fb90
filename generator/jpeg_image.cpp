#include "jpeg_image.h"

#include <cstring>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
// clang-format off
#include "images/stb_warnings_off.h"
#include <stb/stb_image_write.h>
#include "images/stb_warnings_on.h"
// clang-format on

namespace t3ds {

namespace {

void Append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

static_assert(sizeof(Rgb) == 3, "an image's pixels are packed RGB bytes");

std::vector<std::uint8_t> JpegFile(const RgbImage& image, int quality) {
  std::vector<std::uint8_t> rgb(image.pixels.size() * 3);
  std::memcpy(rgb.data(), image.pixels.data(), rgb.size());
  std::vector<std::uint8_t> out;
  stbi_write_jpg_to_func(Append, &out, image.width, image.height, 3, rgb.data(), quality);
  return out;
}

}  // namespace t3ds
