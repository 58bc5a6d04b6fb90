// What only the exports use of a material: shininess and its strength,
// self-illumination, transparency falloff, and the maps (their files,
// amounts, tiling and placement).  They are read aside from the walk and
// never fail it: a chunk cut short, or one that runs past the chunk that
// holds it, loses what it holds, and the file reads, and converts, exactly
// as it would without them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "chunk_reader.h"
#include "torvik32c/3dsload.h"

namespace torvik {

class MaterialExtras {
 public:
  // `file` is the readable bytes; `budget` the bytes these reads may still
  // examine, shared by the whole file's materials (past it they read
  // nothing more).
  MaterialExtras(std::span<const byte> file, std::uint64_t& budget)
      : file_(file), budget_(budget) {}

  // Reads a sub-chunk of a material block when it is one of the above or a
  // map (texture 1's included, whose name the walk reads too).
  void ReadMaterialChunk(const ChunkHeader& chunk, H3dsMat& mat);

 private:
  // The chunk's first `len` bytes after its header, when both the chunk and
  // the file hold them (and the budget allows); null otherwise.
  const byte* Body(const ChunkHeader& chunk, std::size_t len);
  // Calls `visit` with each sub-chunk of `chunk` in turn, up to the first
  // that does not fit in it.
  template <class Visit>
  void ForEachSubChunk(const ChunkHeader& chunk, Visit&& visit);
  // The percentage among the chunk's sub-chunks, percent / 100: the last
  // integer one, else the last float one.
  std::optional<float32> Percentage(const ChunkHeader& chunk);
  void ReadMap(const ChunkHeader& chunk, H3dsTextureMap& map);

  std::span<const byte> file_;
  std::uint64_t& budget_;
};

}  // namespace torvik
