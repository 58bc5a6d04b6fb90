// Face normals of queued triangles, computed on all cores.  Each triangle's
// normal depends on nothing but its corners, so the work splits freely; the
// degenerate triangles are marked, then dropped in order, one pass per
// material.
#include <algorithm>
#include <vector>

#include "base/parallel_ranges.h"
#include "surface_normal.h"
#include "torvik32c/outgl.h"

namespace torvik {

namespace {

struct QueuedRange {
  POLYGONLIST* material;
  std::size_t from;   // first queued entry
  std::size_t step;   // 2 when every triangle is followed by its reversed copy
  std::size_t first;  // index of its first triangle among all queued ones
};

// Below this many triangles a second thread costs more than it saves.
constexpr std::size_t kTrianglesPerThread = 200000;

}  // namespace

void Model::AddQueuedPolygons(std::size_t thread_budget) {
  std::vector<QueuedRange> ranges;
  std::size_t total = 0;
  for (std::size_t m = 0; m < queued_from_.size(); ++m) {
    POLYGONLIST& list = poly_list_[m];
    const std::size_t step = list.doublesided != 0 ? 2 : 1;
    ranges.push_back({&list, queued_from_[m], step, total});
    total += (list.TriangleIndexList.size() - queued_from_[m]) / step;
  }
  auto compute = [&](std::size_t first, std::size_t last) {
    auto range = std::upper_bound(ranges.begin(), ranges.end(), first,
                                  [](std::size_t i, const QueuedRange& r) { return i < r.first; }) -
                 1;
    for (std::size_t i = first; i < last; ++i) {
      while (range + 1 != ranges.end() && i >= (range + 1)->first) ++range;
      const std::size_t entry = range->from + (i - range->first) * range->step;
      ComputeQueuedTriangle(vertex_list_, &range->material->TriangleIndexList[entry], range->step);
    }
  };
  if (total > 0)
    ParallelRanges(total, ThreadsFor(total, kTrianglesPerThread, thread_budget), compute);
  DropMarkedTriangles();
}

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
