// How many scans a JPEG holds, counted before it is decoded: each scan of a
// progressive JPEG is a pass over the whole image, so a small file of many
// scans would take long to decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace torvik::images {

// More scans than an encoder writes (a progressive JPEG has about ten).
inline constexpr std::size_t kMaxJpegScans = 100;

// The start-of-scan segments of the JPEG's bytes, found by walking its
// segments and skipping each scan's entropy-coded data, up to `limit` + 1
// (the walk stops there).  A walk that runs into damaged bytes or the end
// of the file stops with what it counted: the decoder says what is wrong.
std::size_t JpegScanCount(std::span<const std::uint8_t> bytes, std::size_t limit);

}  // namespace torvik::images
