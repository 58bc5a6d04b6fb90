// Normals by smoothing groups.
//
// Each corner of a triangle sums, in the same order and with the same
// roundings as the smooth normals, only the triangles at its vertex whose
// smoothing mask shares a bit with its own triangle's.  A vertex whose
// corners end up with different normals is split into one vertex per
// normal; vertices are never merged, so only faces that share a vertex can
// be smoothed together.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "normal_sum.h"
#include "surface_normal.h"
#include "torvik32c/errors.h"
#include "torvik32c/name_text.h"
#include "torvik32c/outgl.h"

namespace torvik {

namespace {

// One triangle at one vertex, in that vertex's summation order.
struct Corner {
  const SURFACE* triangle;
  dword* record;  // where the corner's new vertex index goes
  dword mask;
  float32 weight;
};

// Summing a vertex's triangles once per distinct mask costs the number of
// triangles times the number of masks; past this the file is hostile.
constexpr std::size_t kMaxWork = std::size_t{1} << 28;

// Normals equal as numbers share a key: 0 and -0 are one normal; NaN
// matches NaN.  A vertex can carry tens of thousands of distinct normals, so
// they are looked up by hash, not by scanning.
struct NormalKey {
  std::uint32_t n0, n1, n2;
  bool operator==(const NormalKey&) const = default;
};
std::uint32_t ComponentKey(float32 f) {
  if (f == 0) return 0;
  if (std::isnan(f)) return 0x7FC00000u;
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}
NormalKey KeyOf(const NORMAL& n) {
  return {ComponentKey(n.n0), ComponentKey(n.n1), ComponentKey(n.n2)};
}
struct NormalKeyHash {
  std::size_t operator()(const NormalKey& k) const noexcept {
    return std::hash<std::uint64_t>()((std::uint64_t{k.n0} << 32 | k.n1) ^
                                      (std::uint64_t{k.n2} * 0x9E3779B97F4A7C15u));
  }
};

}  // namespace

void Model::OutGLFinishModelBySmoothingGroups() {
  const std::size_t count = NumVertex();
  // Per original triangle, the new vertex index of each of its corners.
  std::vector<std::vector<dword>> records(poly_list_.size());
  std::vector<std::size_t> offsets(count + 1, 0);
  auto originals = [&](auto&& visit) {
    for (std::size_t m = 0; m < poly_list_.size(); ++m) {
      const POLYGONLIST& material = poly_list_[m];
      if (material.SmoothingGroups.size() != material.TriangleIndexList.size())
        throw Error(Error::Kind::invalid_model, "material '" + ShownName(material.name) +
                                                    "' has no smoothing group for every triangle");
      const std::size_t step = material.doublesided != 0 ? 2 : 1;
      for (std::size_t t = 0; t < material.TriangleIndexList.size(); t += step) visit(m, t);
    }
  };
  originals([&](std::size_t m, std::size_t t) {
    const SURFACE& s = poly_list_[m].TriangleIndexList[t];
    ++offsets[s.p0 + 1];
    ++offsets[s.p1 + 1];
    ++offsets[s.p2 + 1];
  });
  for (std::size_t i = 1; i <= count; ++i) offsets[i] += offsets[i - 1];
  for (std::size_t m = 0; m < poly_list_.size(); ++m)
    records[m].resize(3 * poly_list_[m].TriangleIndexList.size(), 0);

  // Each vertex's corners from its end backwards, so that the triangle
  // added last comes first, as in the smooth normals.
  std::vector<Corner> corners(offsets[count]);
  std::vector<std::size_t> next(offsets.begin() + 1, offsets.end());
  auto store = [](Corner* corner, float32 weight) { corner->weight = weight; };
  CornerBatch<Corner*, decltype(store)> weights(store);
  originals([&](std::size_t m, std::size_t t) {
    const SURFACE& s = poly_list_[m].TriangleIndexList[t];
    const dword mask = poly_list_[m].SmoothingGroups[t];
    const double d01 = distance(vertex_list_[s.p0], vertex_list_[s.p1]);
    const double d02 = distance(vertex_list_[s.p0], vertex_list_[s.p2]);
    const double d12 = distance(vertex_list_[s.p1], vertex_list_[s.p2]);
    dword* slot = &records[m][3 * t];
    Corner* c0 = &corners[--next[s.p0]];
    Corner* c1 = &corners[--next[s.p1]];
    Corner* c2 = &corners[--next[s.p2]];
    *c0 = Corner{&s, slot, mask, 0};
    *c1 = Corner{&s, slot + 1, mask, 0};
    *c2 = Corner{&s, slot + 2, mask, 0};
    weights.Push(d01, d02, d12, c0);
    weights.Push(d01, d12, d02, c1);
    weights.Push(d02, d12, d01, c2);
  });
  weights.Flush();

  std::vector<VERTEX> split;
  split.reserve(count);
  std::vector<std::pair<dword, NORMAL>> by_mask;             // this vertex's sums so far
  std::unordered_map<NormalKey, dword, NormalKeyHash> made;  // this vertex's records so far
  std::size_t work = 0;
  for (std::size_t v = 0; v < count; ++v) {
    by_mask.clear();
    // Clearing costs the table's buckets, so a large table starts afresh.
    if (made.size() > 64)
      decltype(made)().swap(made);
    else
      made.clear();
    const Corner* first = corners.data() + offsets[v];
    const Corner* last = corners.data() + offsets[v + 1];
    for (const Corner* corner = first; corner != last; ++corner) {
      NORMAL normal{corner->triangle->n0, corner->triangle->n1, corner->triangle->n2};
      if (corner->mask != 0) {
        auto known = std::find_if(by_mask.begin(), by_mask.end(),
                                  [&](const auto& entry) { return entry.first == corner->mask; });
        if (known != by_mask.end()) {
          normal = known->second;
        } else {
          work += static_cast<std::size_t>(last - first);
          if (work > kMaxWork)
            throw Error(Error::Kind::too_large, "smoothing groups: vertex " + std::to_string(v) +
                                                    " carries too many different groups to smooth");
          Accumulator sum;
          for (const Corner* other = first; other != last; ++other)
            if ((other->mask & corner->mask) != 0) sum.Add(other->weight, *other->triangle);
          normal = sum.Finish();
          by_mask.emplace_back(corner->mask, normal);
        }
      }
      const auto [record, is_new] =
          made.try_emplace(KeyOf(normal), static_cast<dword>(split.size()));
      if (is_new) {
        VERTEX copy = vertex_list_[v];
        copy.nx = normal.n0;
        copy.ny = normal.n1;
        copy.nz = normal.n2;
        split.push_back(copy);
      }
      *corner->record = record->second;
    }
  }

  // Renumber the triangles; a reversed copy takes its original's records.
  for (std::size_t m = 0; m < poly_list_.size(); ++m) {
    std::vector<SURFACE>& triangles = poly_list_[m].TriangleIndexList;
    const std::size_t step = poly_list_[m].doublesided != 0 ? 2 : 1;
    for (std::size_t t = 0; t < triangles.size(); t += step) {
      const dword* r = &records[m][3 * t];
      triangles[t].p0 = r[0];
      triangles[t].p1 = r[1];
      triangles[t].p2 = r[2];
      if (step == 2 && t + 1 < triangles.size()) {
        triangles[t + 1].p0 = r[0];
        triangles[t + 1].p1 = r[2];
        triangles[t + 1].p2 = r[1];
      }
    }
  }
  vertex_list_ = std::move(split);
}

}  // namespace torvik
