// Texture files as glTF can embed them.  Every file is recognised by its
// content and its size checked (images/image_header.h) first.  glTF allows
// PNG and JPEG images only: those are embedded as they are; TGA, BMP and
// GIF (of a GIF its first frame) are decoded and encoded again as PNG.
// Other formats, and images that are empty or over 64 megapixels, are
// refused.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

struct EmbeddableImage {
  std::vector<std::uint8_t> bytes;
  std::string mime_type;  // "image/png" or "image/jpeg"
};

// Throws std::runtime_error saying why when the bytes are no image it reads.
EmbeddableImage ToEmbeddableImage(std::vector<std::uint8_t> bytes);

// Reads the file and converts it as above.  Throws std::runtime_error
// saying why when it can't be read or is no image it reads.
EmbeddableImage ReadEmbeddableImage(const std::filesystem::path& path);
