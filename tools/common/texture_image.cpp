#include "texture_image.h"

#include <cstring>

#include "images/image_file.h"

Image PreviewImage(const torvik::images::DecodedImage& decoded) {
  static_assert(sizeof(Rgb8) == 3, "pixels are packed RGB");
  if (decoded.channels != 3) throw torvik::images::ImageError("not an RGB image");
  Image image;
  image.width = static_cast<int>(decoded.width);
  image.height = static_cast<int>(decoded.height);
  image.pixels.resize(decoded.pixels.size() / 3);
  std::memcpy(image.pixels.data(), decoded.pixels.data(), image.pixels.size() * sizeof(Rgb8));
  return image;
}

Image LoadTextureImage(const std::filesystem::path& path) {
  return PreviewImage(torvik::images::DecodeImage(torvik::images::ReadImageFile(path), 3));
}
