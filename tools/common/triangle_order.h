// A GPU-friendly order for the triangles of each BMF block: first for the
// post-transform vertex cache, then for overdraw, with meshoptimizer.
#pragma once

#include <cstdint>
#include <vector>

#include "meshoptimizer_available.h"
#include "torvik32c/bmf.h"

// The block's triangles reordered by meshopt_optimizeVertexCache, then by
// meshopt_optimizeOverdraw with a threshold of 1.05: a permutation of
// 0 .. T-1 for torvik::BmfWriteOptions::triangle_order.  Throws
// std::runtime_error in a build without meshoptimizer.
std::vector<std::uint32_t> GpuTriangleOrder(const torvik::BlockTriangles& block);
