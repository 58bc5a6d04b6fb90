#include "texture_image.h"

#include "images/image_file.h"

Image PreviewImage(std::span<const std::uint8_t> bytes, const torvik::images::ImageHeader& header) {
  static_assert(sizeof(Rgb8) == 3, "pixels are packed RGB");
  Image image;
  image.width = static_cast<int>(header.width);
  image.height = static_cast<int>(header.height);
  image.pixels.resize(static_cast<std::size_t>(header.Pixels()));
  torvik::images::DecodeImageInto(
      bytes, header, 3,
      std::span(reinterpret_cast<std::uint8_t*>(image.pixels.data()), image.pixels.size() * 3));
  return image;
}

Image LoadTextureImage(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = torvik::images::ReadImageFile(path);
  return PreviewImage(bytes, torvik::images::ReadImageHeader(bytes));
}
