// The tools' meshoptimizer features in a build without it (the cross build
// for Windows): nothing is reordered or measured.
#include <stdexcept>

#include "cache_metrics.h"
#include "triangle_order.h"

std::vector<std::uint32_t> GpuTriangleOrder(const torvik::BlockTriangles&) {
  throw std::runtime_error(kNoMeshOptimizer);
}

std::optional<VertexCacheFigures> MeasureVertexCache(const torvik::BmfBlock&) {
  return std::nullopt;
}

std::optional<double> MeasureOverdraw(std::span<const torvik::BmfBlock>) { return std::nullopt; }
