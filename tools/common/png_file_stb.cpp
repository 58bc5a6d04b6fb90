// WritePng for builds without libpng (the cross builds for Windows): the
// PNG is encoded by stb_image_write.
#include <stb_image_write.h>

#include <climits>
#include <stdexcept>
#include <vector>

#include "png_file.h"
#include "torvik32c/bmf.h"

namespace {

void Append(void* context, void* data, int size) {
  auto* bytes = static_cast<std::vector<torvik::byte>*>(context);
  const auto* first = static_cast<const torvik::byte*>(data);
  bytes->insert(bytes->end(), first, first + size);
}

}  // namespace

bool PngAvailable() { return true; }

void WritePng(const std::string& path, const Image& image) {
  static_assert(sizeof(Rgb8) == 3, "pixels are packed RGB");
  if (image.width <= 0 || image.height <= 0 || image.width > INT_MAX / 3)
    throw std::runtime_error("stb_image_write: the image has no pixels or is too wide");
  std::vector<torvik::byte> bytes;
  if (stbi_write_png_to_func(Append, &bytes, image.width, image.height, 3, image.pixels.data(),
                             image.width * 3) == 0)
    throw std::runtime_error("stb_image_write: the image could not be encoded");
  // Through a temporary file renamed into place, like the BMF.
  torvik::WriteFileReplacing(path, bytes);
}
