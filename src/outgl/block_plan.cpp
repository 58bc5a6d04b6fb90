#include "block_plan.h"

#include <algorithm>
#include <new>
#include <string>

#include "base/large_tables.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"

namespace torvik {

namespace {

// Corners of `s` that the current block does not hold yet.
std::size_t NewCorners(const SURFACE& s, const TranslateTable& table) {
  std::size_t count = table.Placed(s.p0) ? 0 : 1;
  if (!table.Placed(s.p1) && s.p1 != s.p0) ++count;
  if (!table.Placed(s.p2) && s.p2 != s.p0 && s.p2 != s.p1) ++count;
  return count;
}

}  // namespace

TranslateTable::TranslateTable(std::size_t vertices) {
  try {
    ResizeLarge(generation_, vertices);
    ResizeLarge(slot_, vertices);
  } catch (const std::bad_alloc&) {
    throw WriterOutOfMemory("Error allocating memory for translate");
  }
}

void TranslateTable::NextBlock() {
  if (++current_ == 0) {
    std::fill(generation_.begin(), generation_.end(), std::uint16_t{0});
    current_ = 1;
  }
}

void PlanMaterialBlocks(const Model& model, std::size_t m, TranslateTable& table,
                        std::vector<Block>& blocks) {
  const std::vector<SURFACE>& triangles = model.PolyList()[m].TriangleIndexList;
  Block block{m, 0, 0, 0};
  table.NextBlock();
  for (std::size_t t = 0; t < triangles.size(); ++t) {
    const SURFACE& s = triangles[t];
    std::size_t fresh = NewCorners(s, table);
    // The triangle that would take the block past a 16-bit count starts
    // the next block.
    if (t - block.first + 1 > kBmfMaxCount || block.vertices + fresh > kBmfMaxCount) {
      block.last = t;
      blocks.push_back(block);
      block = Block{m, t, t, 0};
      table.NextBlock();
      fresh = NewCorners(s, table);
    }
    table.Place(s.p0, 0);
    table.Place(s.p1, 0);
    table.Place(s.p2, 0);
    block.vertices += fresh;
  }
  block.last = triangles.size();
  blocks.push_back(block);
}

void CheckBlockCount(std::size_t count) {
  if (count > kBmfMaxCount)
    throw ModelTooLarge("the model needs " + std::to_string(count) +
                        " blocks, more than the 65535 a BMF file holds");
}

}  // namespace torvik
