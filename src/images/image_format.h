// The image formats that the tools decode, told apart by their content.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace torvik::images {

enum class ImageFormat { jpeg, png, tga, bmp, gif };

// "JPEG", "PNG", "TGA", "BMP" or "GIF".
const char* FormatName(ImageFormat format);

// Why bytes are not decoded: not an image of a format read here, damaged,
// empty or too large.  what() is the reason, one phrase without the file's
// name.
class ImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The format of an image file, from its first bytes; the file's name plays
// no part.  JPEG, PNG, GIF and BMP have signatures; a TGA has none, and is
// recognised by a header whose fields hold values that TGA allows.  Throws
// ImageError for anything else, naming the format where it is a known one
// that is not decoded (PGM and the other PNM formats, PSD, HDR, PIC, TIFF,
// WebP...).
ImageFormat DetectImageFormat(std::span<const std::uint8_t> bytes);

}  // namespace torvik::images
