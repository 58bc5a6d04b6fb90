// What `bmftool info` says about a BMF file, as text and as JSON.
#pragma once

#include <cstddef>
#include <string>

#include "torvik32c/bmf_reader.h"

// A vertex normal counts as unit length when its length is within this of 1.
inline constexpr double kUnitTolerance = 1e-3;

struct BlockFacts {
  bool has_bounds = false;  // some stored position is finite
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  std::size_t non_unit_normals = 0;
};

BlockFacts BlockFactsOf(const torvik::BmfBlock& block);

// Blocks, vertices, triangles and bytes over the whole file.
struct FileTotals {
  std::size_t blocks = 0, vertices = 0, triangles = 0, bytes = 0;
};

FileTotals TotalsOf(const torvik::BmfFile& file);

// A few lines per block, after a header line naming the path and the totals.
std::string InfoText(const std::string& path, const torvik::BmfFile& file);
// The same as one JSON object on one line.
std::string InfoJson(const std::string& path, const torvik::BmfFile& file);
// The JSON object for a file that can't be read: its path and the reason.
std::string InfoErrorJson(const std::string& path, const std::string& error);
