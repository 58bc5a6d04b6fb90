// What `bmftool info` says about a BMF file, as text and as JSON.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "torvik32c/bmf_reader.h"
#include "torvik32c/name_text.h"
#include "torvik32c/texture_resolver.h"

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

// A few lines per block, after a header line naming the path and the totals
// and one with the vertex cache figures.  `textures` are the file's texture
// names resolved; each block says where its texture was found.  `overdraw`
// adds the overdraw to the figures of the file and of each block.  Texture
// names read as `names` decodes them.
std::string InfoText(const std::string& path, const torvik::BmfFile& file,
                     const std::vector<torvik::TextureResolution>& textures = {},
                     bool overdraw = false, const torvik::NameDecoder& names = {});
// The same as one JSON object on one line; each block's "texture_file" is
// the resolved texture's object, or null for a block without a texture.
std::string InfoJson(const std::string& path, const torvik::BmfFile& file,
                     const std::vector<torvik::TextureResolution>& textures = {},
                     bool overdraw = false, const torvik::NameDecoder& names = {});
// The JSON object for a file that can't be read: its path and the reason.
std::string InfoErrorJson(const std::string& path, const std::string& error);
