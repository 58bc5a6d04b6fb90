#include "embedded_image.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

// Larger images are refused rather than decoded.
constexpr double kMaxPixels = 64.0 * 1024 * 1024;

bool StartsWith(const std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> magic) {
  return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

struct PixelsFree {
  void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* first = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), first, first + size);
}

std::vector<std::uint8_t> ReencodeAsPng(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    throw std::runtime_error("the image file is too large");
  int width = 0, height = 0, channels = 0;
  // Sized before decoding: a few bytes can claim an enormous image.
  if (stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                            &channels) == 0)
    throw std::runtime_error(std::string("not an image: ") + stbi_failure_reason());
  if (static_cast<double>(width) * height > kMaxPixels)
    throw std::runtime_error("the image is too large (" + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels)");
  const std::unique_ptr<stbi_uc, PixelsFree> pixels(stbi_load_from_memory(
      bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 0));
  if (!pixels) throw std::runtime_error(std::string("not an image: ") + stbi_failure_reason());
  std::vector<std::uint8_t> png;
  if (stbi_write_png_to_func(AppendBytes, &png, width, height, channels, pixels.get(),
                             width * channels) == 0)
    throw std::runtime_error("the image could not be encoded as PNG");
  return png;
}

}  // namespace

EmbeddableImage ToEmbeddableImage(std::vector<std::uint8_t> bytes) {
  if (StartsWith(bytes, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}))
    return {std::move(bytes), "image/png"};
  if (StartsWith(bytes, {0xFF, 0xD8, 0xFF})) return {std::move(bytes), "image/jpeg"};
  return {ReencodeAsPng(bytes), "image/png"};
}

EmbeddableImage ReadEmbeddableImage(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(std::string("can't open: ") + std::strerror(errno));
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  if (in.bad()) throw std::runtime_error("error reading");
  return ToEmbeddableImage(std::move(bytes));
}
