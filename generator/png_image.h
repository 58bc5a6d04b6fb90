// Uncompressed PNG images: the generator writes PNG textures without a
// compression library, in stored (level 0) deflate blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tga_image.h"

namespace t3ds {

// The file's bytes: an 8-bit RGB PNG, rows from the top.
std::vector<std::uint8_t> PngBytes(const RgbImage& image);

// A PNG's chunks as PngBytes writes them: IHDR, IDAT and IEND, for tests
// that add, damage or reorder chunks; `interlaced` stores the rows in
// Adam7's seven passes.
struct PngChunk {
  std::string type;  // four bytes, whatever they are
  std::vector<std::uint8_t> data;
};
std::vector<PngChunk> PngChunks(const RgbImage& image, bool interlaced = false);

// The signature and the chunks, each with its length and CRC.
std::vector<std::uint8_t> PngFile(const std::vector<PngChunk>& chunks);

}  // namespace t3ds
