// How the writer cuts the model into blocks: one or more per material, each
// within the 16-bit counts of vertices and triangles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "torvik32c/outgl.h"

namespace torvik {

struct Block {
  std::size_t material;
  std::size_t first, last;  // triangles [first, last) of the material
  std::size_t vertices;
};

// Which block a model vertex was last placed in, and where.  A new block
// takes a new generation, so nothing is cleared between blocks (but once in
// 65535 blocks, when the generations run out).  Throws WriterOutOfMemory
// when the table can't be had.
class TranslateTable {
 public:
  explicit TranslateTable(std::size_t vertices);

  void NextBlock();
  bool Placed(dword w) const { return generation_[w] == current_; }
  void Place(dword w, uword slot) {
    generation_[w] = current_;
    slot_[w] = slot;
  }
  uword Slot(dword w) const { return slot_[w]; }

 private:
  std::vector<std::uint16_t> generation_;
  std::vector<uword> slot_;
  std::uint16_t current_ = 0;
};

// Appends the blocks of one material, with the vertices each one holds.
void PlanMaterialBlocks(const Model& model, std::size_t material, TranslateTable& table,
                        std::vector<Block>& blocks);

// Throws ModelTooLarge when `count` blocks are more than a BMF file holds.
void CheckBlockCount(std::size_t count);

}  // namespace torvik
