#include "image_header.h"

#include <cstdlib>
#include <string>

#include "png_chunks.h"

namespace torvik::images {
namespace {

class HeaderBytes {
 public:
  HeaderBytes(std::span<const std::uint8_t> bytes, ImageFormat format)
      : bytes_(bytes), format_(format) {}

  std::size_t size() const { return bytes_.size(); }
  std::uint8_t U8(std::size_t at) const { return bytes_[Need(at, 1)]; }
  std::uint32_t Le16(std::size_t at) const {
    const std::size_t i = Need(at, 2);
    return bytes_[i] | std::uint32_t{bytes_[i + 1]} << 8;
  }
  std::uint32_t Be16(std::size_t at) const {
    const std::size_t i = Need(at, 2);
    return std::uint32_t{bytes_[i]} << 8 | bytes_[i + 1];
  }
  std::uint32_t Le32(std::size_t at) const { return Le16(at) | Le16(at + 2) << 16; }
  std::uint32_t Be32(std::size_t at) const { return Be16(at) << 16 | Be16(at + 2); }

  [[noreturn]] void Damaged(const std::string& why) const {
    throw ImageError(std::string("damaged image (") + FormatName(format_) + ": " + why + ")");
  }

 private:
  std::size_t Need(std::size_t at, std::size_t count) const {
    if (at > bytes_.size() || bytes_.size() - at < count) Damaged("the header is cut short");
    return at;
  }

  std::span<const std::uint8_t> bytes_;
  ImageFormat format_;
};

// The signature, then IHDR: its length, type, width and height.
ImageHeader PngHeader(const HeaderBytes& bytes) {
  if (bytes.Be32(8) != 13 || bytes.Be32(12) != 0x49484452) bytes.Damaged("no IHDR chunk first");
  return {ImageFormat::png, bytes.Be32(16), bytes.Be32(20)};
}

// The first frame header (SOF0 to SOF15 but DHT, JPG and DAC), found by
// walking the segments that come before it.
ImageHeader JpegHeader(const HeaderBytes& bytes) {
  std::size_t at = 2;
  for (;;) {
    if (bytes.U8(at) != 0xFF) bytes.Damaged("no marker where a segment should start");
    while (bytes.U8(at) == 0xFF) ++at;
    const unsigned marker = bytes.U8(at++);
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
    if (marker == 0xD9 || marker == 0xDA) bytes.Damaged("no frame header before the image data");
    const std::uint32_t length = bytes.Be16(at);
    if (length < 2) bytes.Damaged("a segment shorter than its length field");
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      ImageHeader header{ImageFormat::jpeg, bytes.Be16(at + 5), bytes.Be16(at + 3)};
      const unsigned precision = bytes.U8(at + 2), components = bytes.U8(at + 7);
      header.viewer_ready =
          marker <= 0xC2 && precision == 8 && (components == 1 || components == 3);
      return header;
    }
    at += length;
  }
}

ImageHeader GifHeader(const HeaderBytes& bytes) {
  return {ImageFormat::gif, bytes.Le16(6), bytes.Le16(8)};
}

// An uncompressed image must hold all its pixels: a few bytes that claim a
// large image are refused rather than decoded into a picture of nothing.
void NeedPixelBytes(const HeaderBytes& bytes, std::uint64_t needed) {
  if (needed > bytes.size()) bytes.Damaged("the file ends before its pixels do");
}

std::uint64_t BytesPerPixel(unsigned bits) { return (bits + 7) / 8; }

ImageHeader TgaHeader(const HeaderBytes& bytes) {
  const ImageHeader header{ImageFormat::tga, bytes.Le16(12), bytes.Le16(14)};
  CheckImageSize(header.width, header.height);
  const unsigned type = bytes.U8(2);
  const std::uint64_t colour_map =
      bytes.U8(1) == 1 ? bytes.Le16(5) * BytesPerPixel(bytes.U8(7)) : 0;
  const std::uint64_t pixel_bytes = BytesPerPixel(bytes.U8(16));
  const std::uint64_t start = 18 + bytes.U8(0) + colour_map;
  if (type >= 1 && type <= 3) NeedPixelBytes(bytes, start + header.Pixels() * pixel_bytes);
  // Run-length packets cover at most 128 pixels each.
  if (type >= 9 && type <= 11)
    NeedPixelBytes(bytes, start + (header.Pixels() + 127) / 128 * (1 + pixel_bytes));
  return header;
}

// A BMP's info header: OS/2's of 12 bytes with unsigned 16-bit sizes, or
// Windows' (40, 56, 108 or 124 bytes) with signed 32-bit ones, where a
// negative height means rows stored from the top.
ImageHeader BmpHeader(const HeaderBytes& bytes) {
  const std::uint32_t size = bytes.Le32(14);
  if (size == 12) return {ImageFormat::bmp, bytes.Le16(18), bytes.Le16(20)};
  if (size != 40 && size != 56 && size != 108 && size != 124)
    bytes.Damaged("an info header of " + std::to_string(size) + " bytes, which is not decoded");
  const auto width = static_cast<std::int32_t>(bytes.Le32(18));
  const auto height = static_cast<std::int32_t>(bytes.Le32(22));
  if (width < 0) bytes.Damaged("a negative width");
  const std::int64_t rows = std::llabs(std::int64_t{height});
  CheckImageSize(width, rows);
  const std::uint32_t compression = bytes.Le32(30), bits = bytes.Le16(28);
  if (compression == 0 || compression == 3) {
    const std::uint64_t row_bytes = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
    NeedPixelBytes(bytes, bytes.Le32(10) + row_bytes * static_cast<std::uint64_t>(rows));
  }
  return {ImageFormat::bmp, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(rows)};
}

}  // namespace

void CheckImageSize(std::int64_t width, std::int64_t height) {
  const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width <= 0 || height <= 0) throw ImageError("empty image (" + size + "): not decoded");
  const auto w = static_cast<std::uint64_t>(width), h = static_cast<std::uint64_t>(height);
  // Either side alone over the limit keeps the product from overflowing.
  if (w > kMaxImagePixels || h > kMaxImagePixels || w * h > kMaxImagePixels)
    throw ImageError("image of " + size + " is larger than 64 megapixels: not decoded");
  if (w > kMaxImageSide || h > kMaxImageSide)
    throw ImageError("image of " + size + " is wider or taller than " +
                     std::to_string(kMaxImageSide) + " pixels: not decoded");
}

ImageHeader ReadImageHeader(std::span<const std::uint8_t> bytes) {
  const ImageFormat format = DetectImageFormat(bytes);
  const HeaderBytes header(bytes, format);
  ImageHeader result;
  switch (format) {
    case ImageFormat::png:
      result = PngHeader(header);
      break;
    case ImageFormat::jpeg:
      result = JpegHeader(header);
      break;
    case ImageFormat::gif:
      result = GifHeader(header);
      break;
    case ImageFormat::tga:
      result = TgaHeader(header);
      break;
    case ImageFormat::bmp:
      result = BmpHeader(header);
      break;
  }
  CheckImageSize(result.width, result.height);
  if (format == ImageFormat::png) result.viewer_ready = CheckPngChunks(bytes);
  return result;
}

}  // namespace torvik::images
