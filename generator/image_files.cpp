#include "image_files.h"

#include <algorithm>
#include <string>

namespace t3ds {
namespace {

void Le16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Le32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Le16(out, value & 0xFFFF);
  Le16(out, value >> 16);
}

// LZW codes of 3 bits packed from the low bit up, as GIF stores them.
class CodeWriter {
 public:
  void Put(unsigned code) {
    bits_ |= code << count_;
    count_ += 3;
    while (count_ >= 8) {
      bytes_.push_back(static_cast<std::uint8_t>(bits_));
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  std::vector<std::uint8_t> Finish() {
    if (count_ > 0) bytes_.push_back(static_cast<std::uint8_t>(bits_));
    return bytes_;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  unsigned bits_ = 0, count_ = 0;
};

}  // namespace

std::vector<std::uint8_t> BmpHeaderBytes(std::int32_t width, std::int32_t height) {
  std::vector<std::uint8_t> out = {'B', 'M'};
  Le32(out, 0);  // file size, set by BmpBytes
  Le32(out, 0);
  Le32(out, 54);  // pixel data offset
  Le32(out, 40);
  Le32(out, static_cast<std::uint32_t>(width));
  Le32(out, static_cast<std::uint32_t>(height));
  Le16(out, 1);                              // planes
  Le16(out, 24);                             // bits per pixel
  for (int i = 0; i < 6; ++i) Le32(out, 0);  // no compression, sizes, resolution, palette
  return out;
}

std::vector<std::uint8_t> BmpBytes(const RgbImage& image, bool top_down) {
  std::vector<std::uint8_t> out =
      BmpHeaderBytes(image.width, top_down ? -image.height : image.height);
  const std::size_t padding = (4 - image.width * 3 % 4) % 4;
  for (int row = 0; row < image.height; ++row) {
    const int y = top_down ? row : image.height - 1 - row;
    for (int x = 0; x < image.width; ++x) {
      const Rgb& pixel = image.pixels[static_cast<std::size_t>(y) * image.width + x];
      out.insert(out.end(), {pixel[2], pixel[1], pixel[0]});
    }
    out.insert(out.end(), padding, 0);
  }
  const auto size = static_cast<std::uint32_t>(out.size());
  for (int i = 0; i < 4; ++i) out[2 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  return out;
}

std::vector<std::uint8_t> GifBytes(int width, int height, Rgb first, Rgb second,
                                   bool (*pattern)(int x, int y)) {
  const std::string signature = "GIF89a";
  std::vector<std::uint8_t> out(signature.begin(), signature.end());
  Le16(out, static_cast<std::uint32_t>(width));
  Le16(out, static_cast<std::uint32_t>(height));
  out.insert(out.end(), {0x80, 0, 0});  // a global table of 2 colours
  out.insert(out.end(), first.begin(), first.end());
  out.insert(out.end(), second.begin(), second.end());
  if (width > 0 && height > 0) {
    out.push_back(',');
    Le32(out, 0);  // left, top
    Le16(out, static_cast<std::uint32_t>(width));
    Le16(out, static_cast<std::uint32_t>(height));
    out.push_back(0);
    out.push_back(2);  // minimum code size: codes of 3 bits, clear 4, end 5
    // Every pixel a literal, and a clear code after every two, so that the
    // table never grows to need 4-bit codes.
    CodeWriter codes;
    for (int i = 0; i < width * height; ++i) {
      if (i % 2 == 0) codes.Put(4);
      codes.Put(pattern(i % width, i / width) ? 1 : 0);
    }
    codes.Put(5);
    const std::vector<std::uint8_t> data = codes.Finish();
    for (std::size_t at = 0; at < data.size(); at += 255) {
      const std::size_t count = std::min<std::size_t>(255, data.size() - at);
      out.push_back(static_cast<std::uint8_t>(count));
      out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                 data.begin() + static_cast<std::ptrdiff_t>(at + count));
    }
    out.push_back(0);
  }
  out.push_back(';');
  return out;
}

namespace {

void Be16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

void Segment(std::vector<std::uint8_t>& out, std::uint8_t marker,
             const std::vector<std::uint8_t>& body) {
  out.insert(out.end(), {0xFF, marker});
  Be16(out, static_cast<std::uint32_t>(body.size() + 2));
  out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

std::vector<std::uint8_t> JpegBytes(int width, int height, int components, int adobe_transform) {
  std::vector<std::uint8_t> out = {0xFF, 0xD8};
  if (adobe_transform >= 0 && adobe_transform <= 2)
    Segment(
        out, 0xEE,
        {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, static_cast<std::uint8_t>(adobe_transform)});
  std::vector<std::uint8_t> quantisation(65, 1);
  quantisation[0] = 0;  // table 0, 8-bit entries
  Segment(out, 0xDB, quantisation);
  std::vector<std::uint8_t> frame = {8};
  Be16(frame, static_cast<std::uint32_t>(height));
  Be16(frame, static_cast<std::uint32_t>(width));
  frame.push_back(static_cast<std::uint8_t>(components));
  for (int c = 1; c <= components; ++c)
    frame.insert(frame.end(), {static_cast<std::uint8_t>(c), 0x11, 0});
  Segment(out, 0xC0, frame);
  // DC and AC tables 0 of one code each, "0": DC difference 0, end of block.
  std::vector<std::uint8_t> tables;
  for (const std::uint8_t table : {0x00, 0x10}) {
    tables.push_back(table);
    tables.push_back(1);
    tables.insert(tables.end(), 15, 0);
    tables.push_back(0);
  }
  Segment(out, 0xC4, tables);
  std::vector<std::uint8_t> scan = {static_cast<std::uint8_t>(components)};
  for (int c = 1; c <= components; ++c) scan.insert(scan.end(), {static_cast<std::uint8_t>(c), 0});
  scan.insert(scan.end(), {0, 63, 0});
  Segment(out, 0xDA, scan);
  // Two bits of zeros per block, padded with ones.
  const long bits = 2L * components * ((width + 7) / 8) * ((height + 7) / 8);
  out.insert(out.end(), static_cast<std::size_t>(bits / 8), 0);
  if (bits % 8 != 0) out.push_back(static_cast<std::uint8_t>(0xFF >> (bits % 8)));
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

std::vector<std::uint8_t> GifScreenBytes(int width, int height, Rgb colour) {
  const std::string signature = "GIF89a";
  std::vector<std::uint8_t> out(signature.begin(), signature.end());
  Le16(out, static_cast<std::uint32_t>(width));
  Le16(out, static_cast<std::uint32_t>(height));
  out.insert(out.end(), {0x80, 1, 0});  // 2 colours, the background the second
  out.insert(out.end(), colour.begin(), colour.end());
  out.insert(out.end(), {0, 0, 0});
  out.push_back(',');
  Le32(out, 0);
  Le32(out, 0x00010001);  // 1 x 1
  // No local table; codes of 3 bits: clear, colour 0, end.
  out.insert(out.end(), {0, 2, 2, 0x44, 0x01, 0, ';'});
  return out;
}

std::vector<std::uint8_t> Pgm16Bytes(int width, int height, std::uint16_t level) {
  const std::string header =
      "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n65535\n";
  std::vector<std::uint8_t> out(header.begin(), header.end());
  for (long i = 0; i < static_cast<long>(width) * height; ++i)
    out.insert(out.end(),
               {static_cast<std::uint8_t>(level >> 8), static_cast<std::uint8_t>(level)});
  return out;
}

}  // namespace t3ds
