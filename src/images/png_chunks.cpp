#include "png_chunks.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "image_format.h"

namespace torvik::images {
namespace {

constexpr std::size_t kSignature = 8;

// CRC-32 as PNG and zlib compute it (the reflected polynomial 0xEDB88320),
// eight bytes a step: table k gives the CRC of a byte followed by k zeros.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr CrcTables kCrcTables = [] {
  CrcTables tables{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables[0][n] = c;
  }
  for (std::size_t k = 1; k < 8; ++k)
    for (std::size_t n = 0; n < 256; ++n)
      tables[k][n] = (tables[k - 1][n] >> 8) ^ tables[0][tables[k - 1][n] & 0xFF];
  return tables;
}();

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  const CrcTables& t = kCrcTables;
  std::uint32_t crc = 0xFFFFFFFFu;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    const std::uint32_t low =
        crc ^ (std::uint32_t{bytes[i]} | std::uint32_t{bytes[i + 1]} << 8 |
               std::uint32_t{bytes[i + 2]} << 16 | std::uint32_t{bytes[i + 3]} << 24);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][bytes[i + 4]] ^ t[2][bytes[i + 5]] ^ t[1][bytes[i + 6]] ^ t[0][bytes[i + 7]];
  }
  for (; i < bytes.size(); ++i) crc = t[0][(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Be32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
         std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

bool IsLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

[[noreturn]] void Damaged(const std::string& why) {
  throw ImageError("damaged image (PNG: " + why + ")");
}

// "IDAT", or the bytes as numbers when they are not letters.
std::string TypeName(std::span<const std::uint8_t> type) {
  bool letters = true;
  for (const std::uint8_t c : type) letters = letters && IsLetter(c);
  if (letters) return std::string(type.begin(), type.end());
  std::string name;
  for (const std::uint8_t c : type) {
    if (!name.empty()) name += ' ';
    name += std::to_string(c);
  }
  return name;
}

bool Is(std::span<const std::uint8_t> type, std::string_view name) {
  return std::equal(type.begin(), type.end(), name.begin(), name.end(),
                    [](std::uint8_t t, char n) { return t == static_cast<std::uint8_t>(n); });
}

bool IsDefinedCritical(std::span<const std::uint8_t> type) {
  return Is(type, "IHDR") || Is(type, "PLTE") || Is(type, "IDAT") || Is(type, "IEND");
}

}  // namespace

bool CheckPngChunks(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSignature) Damaged("the file is cut short");
  bool well_formed = true;
  std::size_t at = kSignature;
  for (;;) {
    if (bytes.size() - at < 8) Damaged("no IEND chunk at the end");
    const std::uint32_t length = Be32(bytes, at);
    const std::span<const std::uint8_t> type = bytes.subspan(at + 4, 4);
    if (bytes.size() - at < 12 || length > bytes.size() - at - 12)
      Damaged("chunk " + TypeName(type) + " runs past the end of the file");
    for (const std::uint8_t c : type)
      if (!IsLetter(c)) Damaged("invalid chunk type " + TypeName(type));
    const bool critical = (type[0] & 0x20) == 0;
    if (critical && !IsDefinedCritical(type)) Damaged("unknown critical chunk " + TypeName(type));
    if (Crc32(bytes.subspan(at + 4, 4 + std::size_t{length})) != Be32(bytes, at + 8 + length)) {
      if (critical) Damaged("CRC error in chunk " + TypeName(type));
      well_formed = false;
    }
    at += 12 + std::size_t{length};
    if (Is(type, "IEND")) return well_formed && at == bytes.size();
  }
}

}  // namespace torvik::images
