#include "image_format.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace torvik::images {
namespace {

using namespace std::string_view_literals;

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view magic) {
  return bytes.size() >= magic.size() &&
         std::equal(magic.begin(), magic.end(), bytes.begin(),
                    [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
}

bool OneOf(unsigned value, std::initializer_list<unsigned> allowed) {
  return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

// The fields of a TGA header that leave no doubt: a colour map type of 0 or
// 1, an image type that goes with it, and bit depths that TGA defines.
bool LooksLikeTga(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 18) return false;
  const unsigned colour_map = bytes[1], type = bytes[2], depth = bytes[16];
  if (colour_map == 1)
    return OneOf(type, {1, 9}) && OneOf(bytes[7], {8, 15, 16, 24, 32}) && OneOf(depth, {8, 16});
  return colour_map == 0 && OneOf(type, {2, 3, 10, 11}) && OneOf(depth, {8, 15, 16, 24, 32});
}

// Formats that the tools know by name but do not decode.
const char* RefusedFormat(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7')
    return bytes[1] == '2' || bytes[1] == '5' ? "a PGM image" : "a PNM image";
  if (StartsWith(bytes, "8BPS"sv)) return "a Photoshop (PSD) image";
  if (StartsWith(bytes, "#?RADIANCE"sv) || StartsWith(bytes, "#?RGBE"sv))
    return "a Radiance HDR image";
  if (StartsWith(bytes, "\x53\x80\xF6\x34"sv)) return "a Softimage PIC image";
  if (StartsWith(bytes, "II*\0"sv) || StartsWith(bytes, "MM\0*"sv)) return "a TIFF image";
  if (StartsWith(bytes, "RIFF"sv) && bytes.size() >= 12 && StartsWith(bytes.subspan(8), "WEBP"sv))
    return "a WebP image";
  if (StartsWith(bytes, "DDS "sv)) return "a DDS texture";
  if (StartsWith(bytes, "\0\0\0\x0CjP  "sv) || StartsWith(bytes, "\xFF\x4F\xFF\x51"sv))
    return "a JPEG 2000 image";
  if (StartsWith(bytes, "\x76\x2F\x31\x01"sv)) return "an OpenEXR image";
  return nullptr;
}

}  // namespace

const char* FormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::jpeg:
      return "JPEG";
    case ImageFormat::png:
      return "PNG";
    case ImageFormat::tga:
      return "TGA";
    case ImageFormat::bmp:
      return "BMP";
    case ImageFormat::gif:
      return "GIF";
  }
  return "image";
}

ImageFormat DetectImageFormat(std::span<const std::uint8_t> bytes) {
  if (StartsWith(bytes, "\x89PNG\r\n\x1A\n"sv)) return ImageFormat::png;
  if (StartsWith(bytes, "\xFF\xD8\xFF"sv)) return ImageFormat::jpeg;
  if (StartsWith(bytes, "GIF87a"sv) || StartsWith(bytes, "GIF89a"sv)) return ImageFormat::gif;
  if (StartsWith(bytes, "BM"sv)) return ImageFormat::bmp;
  constexpr const char* kDecoded = "only JPEG, PNG, TGA, BMP and GIF images are decoded";
  if (const char* refused = RefusedFormat(bytes))
    throw ImageError(std::string("not an image that is decoded: ") + refused + ", and " + kDecoded);
  if (LooksLikeTga(bytes)) return ImageFormat::tga;
  throw ImageError(std::string("not an image: ") + kDecoded);
}

}  // namespace torvik::images
