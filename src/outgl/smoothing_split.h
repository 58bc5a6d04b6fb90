// Normals by smoothing groups for a range of vertices: the work behind
// Model::OutGLFinishModelBySmoothingGroups, done for the whole model at once
// or mesh by mesh (a mesh's triangles use only its own vertices).
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "torvik32c/outgl.h"

namespace torvik {

// Summing a vertex's triangles once per distinct mask costs the number of
// triangles times the number of masks; past this, counted over the whole
// model in vertex order, the file is hostile.
inline constexpr std::size_t kMaxSmoothingWork = std::size_t{1} << 28;

// An original triangle (not a reversed copy) and its smoothing mask.
struct MaskedTriangle {
  const SURFACE* triangle;
  dword mask;
};

// The vertices of a range split by their corners' normals.
struct SmoothingSplit {
  std::vector<VERTEX> vertices;  // one per distinct normal of each vertex, in vertex order
  // Per triangle of the list given, its corners' indices into `vertices`.
  std::vector<dword> records;
  std::size_t work = 0;     // the summing work done (see kMaxSmoothingWork)
  bool overworked = false;  // stopped once work_before + work passed the limit
};

// Splits the vertices [first, last) of `vertices`: `triangles`, in the whole
// model's order (materials in order, each material's triangles in table
// order), are all the triangles at those vertices, and use no other.  Each
// vertex sums its triangles from the last to the first.  `work_before` is
// the work of the vertices before `first`; when the total passes the limit,
// throws Error (too_large) naming the vertex if `throw_when_overworked`,
// else stops and says so.
SmoothingSplit SplitBySmoothingGroups(const VERTEX* vertices, std::size_t first, std::size_t last,
                                      std::span<const MaskedTriangle> triangles,
                                      std::size_t work_before, bool throw_when_overworked);

// Gives an original triangle (entries[0]) its new corners, `offset` plus
// its three records, and its reversed copy (entries[1], when `step` is 2)
// the same corners reversed.
inline void RenumberSplitTriangle(SURFACE* entries, std::size_t step, const dword* records,
                                  dword offset) {
  entries[0].p0 = offset + records[0];
  entries[0].p1 = offset + records[1];
  entries[0].p2 = offset + records[2];
  if (step != 2) return;
  entries[1].p0 = entries[0].p0;
  entries[1].p1 = entries[0].p2;
  entries[1].p2 = entries[0].p1;
}

}  // namespace torvik
