// The drop pass of the queued triangles: the face normals mark the
// degenerate ones, which are then dropped in order, one pass per material.
#include <vector>

#include "surface_normal.h"
#include "torvik32c/outgl.h"

namespace torvik {

void Model::DropMarkedTriangles() {
  for (std::size_t m = 0; m < queued_from_.size(); ++m) {
    std::vector<SURFACE>& triangles = poly_list_[m].TriangleIndexList;
    std::vector<dword>& masks = poly_list_[m].SmoothingGroups;
    const bool with_masks = masks.size() == triangles.size();
    const std::size_t step = poly_list_[m].doublesided != 0 ? 2 : 1;
    std::size_t out = queued_from_[m];
    for (std::size_t in = out; in < triangles.size(); in += step) {
      if (triangles[in].p0 == kDroppedTriangle) {
        ++degenerate_dropped_;
        continue;
      }
      if (out == in) {  // nothing dropped yet: the entries stay where they are
        out += step;
        continue;
      }
      for (std::size_t k = 0; k < step; ++k, ++out) {
        triangles[out] = triangles[in + k];
        if (with_masks) masks[out] = masks[in + k];
      }
    }
    triangles.resize(out);
    if (with_masks) masks.resize(out);
  }
  queued_from_.clear();
}

}  // namespace torvik
