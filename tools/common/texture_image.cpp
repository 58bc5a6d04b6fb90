// Decoding through stb_image, which reads the image's size from its header
// first so that a huge image is refused before any pixels are allocated.
#include "texture_image.h"

#include <stb_image.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

struct PixelsFree {
  void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

std::string Reason() {
  const char* reason = stbi_failure_reason();
  return reason != nullptr ? reason : "unknown error";
}

}  // namespace

Image LoadTextureImage(const std::filesystem::path& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.string().c_str(), "rb"));
  if (!file) throw std::runtime_error(std::string("can't open: ") + std::strerror(errno));
  int width = 0, height = 0, channels = 0;
  if (stbi_info_from_file(file.get(), &width, &height, &channels) == 0)
    throw std::runtime_error("not an image that can be decoded (" + Reason() + ")");
  if (width <= 0 || height <= 0 ||
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxTexturePixels)
    throw std::runtime_error("image of " + std::to_string(width) + " x " + std::to_string(height) +
                             " pixels is larger than 64 megapixels: not decoded");
  std::unique_ptr<stbi_uc, PixelsFree> pixels(
      stbi_load_from_file(file.get(), &width, &height, &channels, 3));
  if (!pixels) throw std::runtime_error("damaged image (" + Reason() + ")");
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  static_assert(sizeof(Rgb8) == 3, "pixels are packed RGB");
  std::memcpy(image.pixels.data(), pixels.get(), image.pixels.size() * sizeof(Rgb8));
  return image;
}
