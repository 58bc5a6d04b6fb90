#include "embedded_image.h"

#include "images/decode_image.h"
#include "images/encode_png.h"
#include "images/image_file.h"

namespace images = torvik::images;

EmbeddableImage ToEmbeddableImage(std::vector<std::uint8_t> bytes) {
  // Every image is known by content and sized first, whichever way it goes.
  const images::ImageHeader header = images::ReadImageHeader(bytes);
  if (header.format == images::ImageFormat::png) return {std::move(bytes), "image/png"};
  if (header.format == images::ImageFormat::jpeg) return {std::move(bytes), "image/jpeg"};
  return {images::EncodePng(images::DecodeImage(bytes, 4)), "image/png"};
}

EmbeddableImage ReadEmbeddableImage(const std::filesystem::path& path) {
  return ToEmbeddableImage(images::ReadImageFile(path));
}
