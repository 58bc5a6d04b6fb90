// A GPU-friendly order for the triangles of each BMF block: first for the
// post-transform vertex cache, then for overdraw, with meshoptimizer.
#pragma once

#include <cstdint>
#include <vector>

#include "meshoptimizer_available.h"
#include "torvik32c/bmf.h"

// The block's triangles reordered by meshopt_optimizeVertexCacheFifo for a
// 16-entry FIFO cache (a sixth of meshopt_optimizeVertexCache's time, and as
// good an order by the FIFO measure), then by meshopt_optimizeOverdraw with
// a threshold of 1.05: a permutation of
// 0 .. T-1 for torvik::BmfWriteOptions::triangle_order.  When that order
// would transform more vertices through a 16-entry FIFO cache than the
// block's own, the block's own is returned.  Safe to call from several
// threads.  Throws std::runtime_error in a build without meshoptimizer.
std::vector<std::uint32_t> GpuTriangleOrder(const torvik::BlockTriangles& block);
