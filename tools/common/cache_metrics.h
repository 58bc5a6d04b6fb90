// How well the triangle order of BMF blocks suits a GPU, measured with
// meshoptimizer: the vertex cache (ACMR and ATVR) and overdraw.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "torvik32c/bmf_reader.h"

// The post-transform cache size the figures are for: a 16-entry FIFO.
inline constexpr unsigned kVertexCacheSize = 16;

// Vertices a GPU transforms to draw a block (or several) with the cache
// above, and what that is per triangle and per vertex.
struct VertexCacheFigures {
  std::size_t transformed = 0;
  std::size_t triangles = 0;
  std::size_t vertices = 0;  // vertices the triangles use

  // Average cache miss ratio: vertices transformed per triangle, 0.5 at
  // best for large meshes, 3 at worst.
  double Acmr() const { return static_cast<double>(transformed) / triangles; }
  // Average transformed vertex ratio: per vertex used, 1 at best.
  double Atvr() const { return static_cast<double>(transformed) / vertices; }

  VertexCacheFigures& operator+=(const VertexCacheFigures& other) {
    transformed += other.transformed;
    triangles += other.triangles;
    vertices += other.vertices;
    return *this;
  }
};

// Figures for the block (meshopt_analyzeVertexCache, no warp or primitive
// group limit); none when it has no triangles, when an index reaches past
// its vertex table, or in a build without meshoptimizer.
std::optional<VertexCacheFigures> MeasureVertexCache(const torvik::BmfBlock& block);

// Pixels shaded per pixel covered when the blocks are drawn in order, as
// meshopt_analyzeOverdraw finds it from three axis views; none when there
// are no triangles, when an index reaches past its vertex table, a position
// is not finite or all positions coincide, or in a build without
// meshoptimizer.
std::optional<double> MeasureOverdraw(std::span<const torvik::BmfBlock> blocks);
