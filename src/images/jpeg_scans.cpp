#include "jpeg_scans.h"

namespace torvik::images {

namespace {

constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kEndOfImage = 0xD9;

// Markers that stand alone, without a length: TEM and RST0 to RST7 (and
// SOI, which a damaged file may repeat).
bool StandsAlone(std::uint8_t marker) {
  return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

}  // namespace

std::size_t JpegScanCount(std::span<const std::uint8_t> bytes, std::size_t limit) {
  std::size_t scans = 0;
  std::size_t at = 2;  // past SOI
  while (at < bytes.size() && bytes[at] == 0xFF) {
    while (at < bytes.size() && bytes[at] == 0xFF) ++at;  // fill bytes
    if (at >= bytes.size()) break;
    const std::uint8_t marker = bytes[at++];
    if (marker == kEndOfImage) break;
    if (StandsAlone(marker)) continue;
    if (bytes.size() - at < 2) break;
    const std::size_t length = std::size_t{bytes[at]} << 8 | bytes[at + 1];
    if (length < 2 || bytes.size() - at < length) break;
    at += length;
    if (marker != kStartOfScan) continue;
    if (++scans > limit) break;
    // The entropy-coded data runs to the next marker: 0xFF 0x00 is a
    // stuffed 0xFF byte and RST0 to RST7 belong to the data.
    while (at + 1 < bytes.size() && (bytes[at] != 0xFF || bytes[at + 1] == 0x00 ||
                                     (bytes[at + 1] >= 0xD0 && bytes[at + 1] <= 0xD7)))
      ++at;
    if (at + 1 >= bytes.size()) break;
  }
  return scans;
}

}  // namespace torvik::images
