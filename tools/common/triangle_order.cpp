#include "triangle_order.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "cache_metrics.h"

namespace {

// How much the overdraw pass may cost the vertex cache: up to 5%.
constexpr float kOverdrawThreshold = 1.05f;

// A triangle's corners under the rotation that comes first, so that the
// same triangle compares equal whichever corner it starts with, while its
// winding still tells it apart from its mirror image.  Block-local corners
// are below 65536, well within 21 bits each.
std::uint64_t RotationKey(const std::uint32_t* corners) {
  std::uint64_t best = UINT64_MAX;
  for (int r = 0; r < 3; ++r) {
    const std::uint64_t key = (std::uint64_t{corners[r]} << 42) |
                              (std::uint64_t{corners[(r + 1) % 3]} << 21) | corners[(r + 2) % 3];
    best = std::min(best, key);
  }
  return best;
}

// The input triangles by rotation key: an open-addressing table whose every
// key heads a list of the triangles with that key, in input order.
class TrianglesByKey {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  explicit TrianglesByKey(const std::vector<std::uint32_t>& corners)
      : next_(corners.size() / 3, kNone) {
    std::size_t size = 2;
    while (size < 2 * next_.size()) size *= 2;
    keys_.assign(size, kEmpty);
    heads_.assign(size, kNone);
    mask_ = size - 1;
    std::vector<std::uint32_t> tails(size, kNone);
    for (std::uint32_t t = 0; t < next_.size(); ++t) {
      const std::uint64_t key = RotationKey(&corners[3 * t]);
      const std::size_t slot = Find(key);
      if (keys_[slot] == kEmpty) {
        keys_[slot] = key;
        heads_[slot] = t;
      } else {
        next_[tails[slot]] = t;
      }
      tails[slot] = t;
    }
  }

  // The first input triangle with this key not taken yet, now taken; kNone
  // when there is none.
  std::uint32_t Take(std::uint64_t key) {
    const std::size_t slot = Find(key);
    const std::uint32_t t = heads_[slot];  // kNone for an empty slot
    if (t != kNone) heads_[slot] = next_[t];
    return t;
  }

 private:
  // No key has all bits set: corners take 63 bits at most.
  static constexpr std::uint64_t kEmpty = UINT64_MAX;

  // The slot that holds `key`, or the empty one where it would go.
  std::size_t Find(std::uint64_t key) const {
    std::size_t slot = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & mask_;
    while (keys_[slot] != kEmpty && keys_[slot] != key) slot = (slot + 1) & mask_;
    return slot;
  }

  std::vector<std::uint64_t> keys_;
  std::vector<std::uint32_t> heads_;
  std::vector<std::uint32_t> next_;
  std::size_t mask_ = 0;
};

// Which input triangle each triangle of `reordered` is.  meshoptimizer may
// start a triangle at another corner; matching up to rotation gives each
// output triangle back its input's corner order.  Equal triangles are taken
// in input order.
std::vector<std::uint32_t> MatchTriangles(const std::vector<std::uint32_t>& corners,
                                          const std::vector<std::uint32_t>& reordered) {
  TrianglesByKey inputs(corners);
  std::vector<std::uint32_t> order(corners.size() / 3);
  for (std::size_t t = 0; t < order.size(); ++t) {
    order[t] = inputs.Take(RotationKey(&reordered[3 * t]));
    if (order[t] == TrianglesByKey::kNone)
      throw std::runtime_error("meshoptimizer returned a triangle the block does not have");
  }
  return order;
}

// Vertices a GPU with a 16-entry FIFO cache transforms to draw `corners`.
unsigned Transformed(const std::vector<std::uint32_t>& corners, std::size_t vertex_count) {
  return meshopt_analyzeVertexCache(corners.data(), corners.size(), vertex_count, kVertexCacheSize,
                                    0, 0)
      .vertices_transformed;
}

}  // namespace

std::vector<std::uint32_t> GpuTriangleOrder(const torvik::BlockTriangles& block) {
  const std::vector<std::uint32_t> corners(block.corners.begin(), block.corners.end());
  std::vector<std::uint32_t> cached(corners.size()), reordered(corners.size());
  meshopt_optimizeVertexCacheFifo(cached.data(), corners.data(), corners.size(), block.vertex_count,
                                  kVertexCacheSize);
  meshopt_optimizeOverdraw(reordered.data(), cached.data(), cached.size(), block.positions.data(),
                           block.vertex_count, 3 * sizeof(float), kOverdrawThreshold);
  // On a small or already well-ordered block the result can miss the cache
  // more often than the order it started from; that order is kept then.
  if (Transformed(reordered, block.vertex_count) > Transformed(corners, block.vertex_count)) {
    std::vector<std::uint32_t> same(corners.size() / 3);
    std::iota(same.begin(), same.end(), 0u);
    return same;
  }
  return MatchTriangles(corners, reordered);
}
