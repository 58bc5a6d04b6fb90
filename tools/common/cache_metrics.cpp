#include "cache_metrics.h"

#include <meshoptimizer.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

bool IndicesInRange(const torvik::BmfBlock& block) {
  for (const torvik::BMF_SURFACE& s : block.triangles)
    if (s.p0 >= block.vertices.size() || s.p1 >= block.vertices.size() ||
        s.p2 >= block.vertices.size())
      return false;
  return true;
}

// The block's triangles as a flat index list, each index moved up by `base`.
void AppendIndices(const torvik::BmfBlock& block, std::uint32_t base,
                   std::vector<std::uint32_t>& indices) {
  for (const torvik::BMF_SURFACE& s : block.triangles)
    indices.insert(indices.end(), {base + s.p0, base + s.p1, base + s.p2});
}

}  // namespace

std::optional<VertexCacheFigures> MeasureVertexCache(const torvik::BmfBlock& block) {
  if (block.triangles.empty() || !IndicesInRange(block)) return std::nullopt;
  std::vector<std::uint32_t> indices;
  indices.reserve(3 * block.triangles.size());
  AppendIndices(block, 0, indices);
  const meshopt_VertexCacheStatistics stats = meshopt_analyzeVertexCache(
      indices.data(), indices.size(), block.vertices.size(), kVertexCacheSize, 0, 0);
  std::vector<bool> used(block.vertices.size(), false);
  std::size_t vertices = 0;
  for (const std::uint32_t index : indices) {
    if (!used[index]) ++vertices;
    used[index] = true;
  }
  return VertexCacheFigures{stats.vertices_transformed, block.triangles.size(), vertices};
}

std::optional<double> MeasureOverdraw(std::span<const torvik::BmfBlock> blocks) {
  std::vector<std::uint32_t> indices;
  std::vector<float> positions;
  for (const torvik::BmfBlock& block : blocks) {
    if (!IndicesInRange(block)) return std::nullopt;
    AppendIndices(block, static_cast<std::uint32_t>(positions.size() / 3), indices);
    for (const torvik::BMF_UNVERTEX& v : block.vertices) {
      if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return std::nullopt;
      positions.insert(positions.end(), {v.x, v.y, v.z});
    }
  }
  if (indices.empty()) return std::nullopt;
  // meshoptimizer scales the model to its largest extent, which must be a
  // finite, positive number.
  double extent = 0;
  for (int axis = 0; axis < 3; ++axis) {
    float low = positions[axis], high = positions[axis];
    for (std::size_t i = axis; i < positions.size(); i += 3) {
      low = std::min(low, positions[i]);
      high = std::max(high, positions[i]);
    }
    extent = std::max(extent, static_cast<double>(high - low));
  }
  if (!(extent > 0) || !std::isfinite(extent)) return std::nullopt;
  const meshopt_OverdrawStatistics stats = meshopt_analyzeOverdraw(
      indices.data(), indices.size(), positions.data(), positions.size() / 3, 3 * sizeof(float));
  if (stats.pixels_covered == 0) return std::nullopt;
  return static_cast<double>(stats.pixels_shaded) / stats.pixels_covered;
}
