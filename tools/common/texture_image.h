// Texture images for the previews: JPEG, PNG, TGA, BMP and GIF files decoded
// into RGB pixels.
#pragma once

#include <cstdint>
#include <filesystem>

#include "preview_renderer.h"

// The largest image decoded: 64 megapixels (8192 x 8192), about 200 MB of
// pixels.  A larger one is refused before it is decoded.
inline constexpr std::uint64_t kMaxTexturePixels = std::uint64_t{8192} * 8192;

// Reads the image file, rows from the top (the first row is the image's top
// row, whatever order the file stores them in).  Throws std::runtime_error
// saying why when the file can't be read, is no image the decoder knows, is
// damaged or is larger than kMaxTexturePixels.
Image LoadTextureImage(const std::filesystem::path& path);
