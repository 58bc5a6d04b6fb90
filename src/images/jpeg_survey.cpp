#include "jpeg_survey.h"

namespace torvik::images {

namespace {

constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kHuffmanTables = 0xC4;

// Markers that stand alone, without a length: TEM and RST0 to RST7 (and
// SOI, which a damaged file may repeat).
bool StandsAlone(std::uint8_t marker) {
  return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

// The frame headers the decoder reads (baseline, extended, progressive):
// before the first, it skips bytes that are not a marker.
bool IsFrameHeader(std::uint8_t marker) { return marker >= 0xC0 && marker <= 0xC2; }

class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t size() const { return bytes_.size(); }
  // The decoder reads zeros past the end.
  std::uint8_t operator[](std::size_t at) const { return at < bytes_.size() ? bytes_[at] : 0; }

 private:
  std::span<const std::uint8_t> bytes_;
};

// The tables of a DHT segment whose content starts at `at`, as the decoder
// reads them: while the segment's length has bytes left, a class/slot byte,
// 16 counts (read even where they run past the segment) and the codes'
// values.  True when one has more codes than a table holds.
bool HasOversizedTable(const Bytes& bytes, std::size_t at, std::size_t length) {
  long long left = static_cast<long long>(length) - 2;
  while (left > 0 && at < bytes.size()) {
    const std::uint8_t slot = bytes[at];
    if ((slot >> 4) > 1 || (slot & 15) > 3) return false;  // the decoder stops here
    std::size_t codes = 0;
    for (std::size_t i = 1; i <= 16; ++i) codes += bytes[at + i];
    if (codes > kMaxJpegHuffmanCodes) return true;
    at += 17 + codes;
    left -= static_cast<long long>(17 + codes);
  }
  return false;
}

}  // namespace

JpegSurvey SurveyJpeg(std::span<const std::uint8_t> span, std::size_t scan_limit) {
  const Bytes bytes(span);
  JpegSurvey survey;
  bool framed = false;
  std::size_t at = 2;  // past SOI
  while (at < bytes.size()) {
    if (bytes[at] != 0xFF) {
      if (framed) break;
      ++at;  // padding before the frame header
      continue;
    }
    while (at < bytes.size() && bytes[at] == 0xFF) ++at;  // fill bytes
    if (at >= bytes.size()) break;
    const std::uint8_t marker = bytes[at++];
    if (marker == kEndOfImage) break;
    if (StandsAlone(marker)) continue;
    const std::size_t length = std::size_t{bytes[at]} << 8 | bytes[at + 1];
    if (marker == kHuffmanTables && HasOversizedTable(bytes, at + 2, length)) {
      survey.oversized_huffman_table = true;
      break;
    }
    if (length < 2 || bytes.size() - at < length) break;
    at += length;
    framed = framed || IsFrameHeader(marker);
    if (marker != kStartOfScan) continue;
    if (++survey.scans > scan_limit) break;
    // The entropy-coded data runs to the next marker: 0xFF 0x00 is a
    // stuffed 0xFF byte and RST0 to RST7 belong to the data.
    while (at + 1 < bytes.size() && (bytes[at] != 0xFF || bytes[at + 1] == 0x00 ||
                                     (bytes[at + 1] >= 0xD0 && bytes[at + 1] <= 0xD7)))
      ++at;
    if (at + 1 >= bytes.size()) break;
  }
  return survey;
}

}  // namespace torvik::images
