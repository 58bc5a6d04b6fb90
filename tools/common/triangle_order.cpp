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
// winding still tells it apart from its mirror image.
std::uint64_t RotationKey(const std::uint32_t* corners) {
  std::uint64_t best = UINT64_MAX;
  for (int r = 0; r < 3; ++r) {
    const std::uint64_t key = (std::uint64_t{corners[r]} << 42) |
                              (std::uint64_t{corners[(r + 1) % 3]} << 21) | corners[(r + 2) % 3];
    best = std::min(best, key);
  }
  return best;
}

// Which input triangle each triangle of `reordered` is.  meshoptimizer may
// start a triangle at another corner; matching up to rotation gives each
// output triangle back its input's corner order.  Equal triangles are taken
// in input order.
std::vector<std::uint32_t> MatchTriangles(const std::vector<std::uint32_t>& corners,
                                          const std::vector<std::uint32_t>& reordered) {
  const std::size_t count = corners.size() / 3;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> keys(count);
  for (std::size_t t = 0; t < count; ++t)
    keys[t] = {RotationKey(&corners[3 * t]), static_cast<std::uint32_t>(t)};
  std::sort(keys.begin(), keys.end());
  std::vector<std::size_t> taken(count, 0);  // per run of equal keys, how many are taken
  std::vector<std::uint32_t> order(count);
  for (std::size_t t = 0; t < count; ++t) {
    const std::uint64_t key = RotationKey(&reordered[3 * t]);
    const auto run = std::lower_bound(keys.begin(), keys.end(), std::make_pair(key, 0u));
    const std::size_t first = static_cast<std::size_t>(run - keys.begin());
    const std::size_t next = first + taken[first];
    if (next >= count || keys[next].first != key)
      throw std::runtime_error("meshoptimizer returned a triangle the block does not have");
    ++taken[first];
    order[t] = keys[next].second;
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
  meshopt_optimizeVertexCache(cached.data(), corners.data(), corners.size(), block.vertex_count);
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
