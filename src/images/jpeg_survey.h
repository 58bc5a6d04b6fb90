// What a JPEG holds that its decoder must not be given, found before it is
// decoded by walking its segments as the decoder does:
//  - scans: each scan of a progressive JPEG is a pass over the whole image,
//    so a small file of many scans would take long to decode;
//  - Huffman tables of more than 256 codes, which the decoder (stb_image
//    2.27) would build past the end of its table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace torvik::images {

// More scans than an encoder writes (a progressive JPEG has about ten).
inline constexpr std::size_t kMaxJpegScans = 100;

// The most codes a Huffman table can have (one per byte value and EOB).
inline constexpr std::size_t kMaxJpegHuffmanCodes = 256;

struct JpegSurvey {
  // Start-of-scan segments, counted up to `scan_limit` + 1 (the walk stops
  // there).
  std::size_t scans = 0;
  // A table of the file's that the decoder would read has more codes than
  // kMaxJpegHuffmanCodes (the walk stops there).
  bool oversized_huffman_table = false;
};

// Walks the segments from the start-of-image as the decoder does: padding
// before the frame header is skipped byte by byte, each scan's
// entropy-coded data is skipped to the next marker, bytes past the end read
// as zeros.  Every Huffman table the decoder could build is among those the
// walk checks; a walk that runs into damaged bytes or the end of the file
// stops with what it found: the decoder says what is wrong.
JpegSurvey SurveyJpeg(std::span<const std::uint8_t> bytes, std::size_t scan_limit);

}  // namespace torvik::images
