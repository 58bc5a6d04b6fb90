// Texture images for the previews: JPEG, PNG, TGA, BMP and GIF files decoded
// into RGB pixels by the image component (images/decode_image.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "images/decode_image.h"
#include "preview_renderer.h"

// The largest image decoded: 64 megapixels (8192 x 8192), about 200 MB of
// pixels.  A larger one is refused before it is decoded.
inline constexpr std::uint64_t kMaxTexturePixels = torvik::images::kMaxImagePixels;

// The image of these bytes and their header (ReadImageHeader), decoded
// straight into the renderer's pixels.  Throws ImageError.
Image PreviewImage(std::span<const std::uint8_t> bytes, const torvik::images::ImageHeader& header);

// Reads the image file, rows from the top (the first row is the image's top
// row, whatever order the file stores them in).  Throws std::runtime_error
// saying why when the file can't be read, is no image of a format decoded,
// is damaged, empty or larger than kMaxTexturePixels.
Image LoadTextureImage(const std::filesystem::path& path);
