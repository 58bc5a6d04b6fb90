#include "png_image.h"

#include <algorithm>
#include <array>
#include <string>

namespace t3ds {

namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.insert(out.end(),
             {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
              static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
}

void PutChunk(std::vector<std::uint8_t>& out, const std::string& type,
              const std::vector<std::uint8_t>& data) {
  PutU32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  PutU32(out, Crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored deflate blocks.
std::vector<std::uint8_t> StoredZlib(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> out = {0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t size = std::min<std::size_t>(raw.size() - at, 65535);
    const bool last = at + size == raw.size();
    out.push_back(last ? 1 : 0);
    out.insert(out.end(),
               {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                static_cast<std::uint8_t>(~size), static_cast<std::uint8_t>(~size >> 8)});
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;  // Adler-32
  for (const std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutU32(out, (b << 16) | a);
  return out;
}

}  // namespace

std::vector<PngChunk> PngChunks(const RgbImage& image, bool interlaced) {
  std::vector<std::uint8_t> header;
  PutU32(header, static_cast<std::uint32_t>(image.width));
  PutU32(header, static_cast<std::uint32_t>(image.height));
  header.insert(header.end(), {8, 2, 0, 0, static_cast<std::uint8_t>(interlaced ? 1 : 0)});
  // Adam7's passes, or one pass of every pixel.
  struct Pass {
    int x, y, x_step, y_step;
  };
  const std::vector<Pass> passes =
      interlaced ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
                 : std::vector<Pass>{{0, 0, 1, 1}};
  std::vector<std::uint8_t> raw;
  for (const Pass& pass : passes) {
    if (image.width <= pass.x) continue;
    for (int y = pass.y; y < image.height; y += pass.y_step) {
      raw.push_back(0);  // no filter
      for (int x = pass.x; x < image.width; x += pass.x_step) {
        const Rgb& p = image.pixels[static_cast<std::size_t>(y) * image.width + x];
        raw.insert(raw.end(), p.begin(), p.end());
      }
    }
  }
  return {{"IHDR", header}, {"IDAT", StoredZlib(raw)}, {"IEND", {}}};
}

std::vector<std::uint8_t> PngFile(const std::vector<PngChunk>& chunks) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const PngChunk& chunk : chunks) PutChunk(out, chunk.type, chunk.data);
  return out;
}

std::vector<std::uint8_t> PngBytes(const RgbImage& image) { return PngFile(PngChunks(image)); }

}  // namespace t3ds
