// A map of the chunks of a 3DS file, so that sweeps can damage one header
// field or one count at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace robustness {

inline constexpr std::size_t kNoCount = static_cast<std::size_t>(-1);

struct ChunkSite {
  std::uint16_t id;
  std::size_t start;       // position of the header
  std::size_t end;         // start plus the stored length
  std::size_t parent_end;  // end of the enclosing chunk, or of the stream
  // Position of the chunk's 16-bit record count, and the size of one
  // record, for the lists that have one (vertices, faces, mapping, groups).
  std::size_t count_at = kNoCount;
  std::size_t record_size = 0;
};

// Walks the chunks the reader descends into, in file order.  The walk stops
// at the first header that does not fit its parent, so files with damage of
// their own give a partial map.
std::vector<ChunkSite> MapChunks(const std::vector<std::uint8_t>& bytes);

}  // namespace robustness
