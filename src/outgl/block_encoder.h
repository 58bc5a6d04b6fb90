// One block's bytes: the block's triangles get a vertex table of their own,
// numbered in first-use order (of the material's order, or of the order a
// triangle-order hook chooses), and are stored as the file lays them out.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "block_plan.h"
#include "torvik32c/bmf.h"

namespace torvik {

// The bytes `block` takes in the file.
std::size_t BlockBytes(const Model& model, const Block& block);

// What one thread needs to encode blocks, one after another.
class BlockEncoder {
 public:
  // Room for the largest block; throws WriterOutOfMemory when it can't be had.
  BlockEncoder(TranslateTable table, std::size_t largest_vertices, std::size_t largest_triangles);

  // Stores block `number` at `out`, which has room for BlockBytes(model,
  // block).  Throws ModelTooLarge for a texture name too long for the file,
  // and Error (invalid_model) when the hook's order is not a permutation.
  void Encode(const Model& model, const Block& block, std::size_t number,
              const BmfWriteOptions& options, byte* out);

  // What the last block held.
  std::size_t Vertices() const { return CrunchedVertex.size(); }
  std::size_t Triangles() const { return CrunchedIndex.size(); }

 private:
  void Crunch(const Model& model, const Block& block);

  TranslateTable table;
  std::vector<BMF_UNVERTEX> CrunchedVertex;
  std::vector<BMF_SURFACE> CrunchedIndex;
};

// A block encoded on its own, for the writer to hand on in file order.
struct EncodedBlock {
  std::unique_ptr<byte[]> bytes;
  std::size_t size = 0;
  std::size_t vertices = 0, triangles = 0;
};

}  // namespace torvik
