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
#include "smoothing_split.h"
#include "surface_normal.h"
#include "torvik32c/errors.h"
#include "torvik32c/name_text.h"
#include "torvik32c/outgl.h"

namespace torvik {

namespace {

// One triangle at one vertex, in that vertex's summation order.
struct Corner {
  const SURFACE* triangle;
  std::size_t record;  // where the corner's new vertex index goes in the records
  dword mask;
  float32 weight;
};

// Normals equal as numbers share a key: 0 and -0 are one normal; NaN
// matches NaN.  A vertex can carry tens of thousands of distinct normals, so
// past a few they are looked up by hash, not by scanning.
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

// The new vertices one vertex has made so far, by normal: the first made
// for a normal keeps it.  Most vertices make one, so a short list is
// scanned; a long one moves into a hash table.
class VerticesByNormal {
 public:
  void Clear() {
    few_.clear();
    // Clearing costs the table's buckets, so a large table starts afresh.
    if (many_.size() > 64)
      decltype(many_)().swap(many_);
    else
      many_.clear();
  }

  // The vertex made for `key`, or `made` (now recorded for it) when none.
  std::pair<dword, bool> Find(const NormalKey& key, dword made) {
    if (many_.empty()) {
      for (const auto& [known, vertex] : few_)
        if (known == key) return {vertex, false};
      if (few_.size() < kFew) {
        few_.emplace_back(key, made);
        return {made, true};
      }
      for (const auto& [known, vertex] : few_) many_.emplace(known, vertex);
      few_.clear();
    }
    const auto [entry, is_new] = many_.try_emplace(key, made);
    return {entry->second, is_new};
  }

 private:
  static constexpr std::size_t kFew = 16;
  std::vector<std::pair<NormalKey, dword>> few_;
  std::unordered_map<NormalKey, dword, NormalKeyHash> many_;
};

}  // namespace

SmoothingSplit SplitBySmoothingGroups(const VERTEX* vertices, std::size_t first, std::size_t last,
                                      std::span<const MaskedTriangle> triangles,
                                      std::size_t work_before, bool throw_when_overworked) {
  const std::size_t count = last - first;
  SmoothingSplit split;
  split.records.resize(3 * triangles.size());
  std::vector<std::size_t> offsets(count + 1, 0);
  for (const MaskedTriangle& t : triangles) {
    ++offsets[t.triangle->p0 - first + 1];
    ++offsets[t.triangle->p1 - first + 1];
    ++offsets[t.triangle->p2 - first + 1];
  }
  for (std::size_t i = 1; i <= count; ++i) offsets[i] += offsets[i - 1];

  // Each vertex's corners from its end backwards, so that the triangle
  // added last comes first, as in the smooth normals.
  std::vector<Corner> corners(offsets[count]);
  std::vector<std::size_t> next(offsets.begin() + 1, offsets.end());
  auto store = [](Corner* corner, float32 weight) { corner->weight = weight; };
  CornerBatch<Corner*, decltype(store)> weights(store);
  for (std::size_t i = 0; i < triangles.size(); ++i) {
    const SURFACE& s = *triangles[i].triangle;
    const dword mask = triangles[i].mask;
    const double d01 = distance(vertices[s.p0], vertices[s.p1]);
    const double d02 = distance(vertices[s.p0], vertices[s.p2]);
    const double d12 = distance(vertices[s.p1], vertices[s.p2]);
    Corner* c0 = &corners[--next[s.p0 - first]];
    Corner* c1 = &corners[--next[s.p1 - first]];
    Corner* c2 = &corners[--next[s.p2 - first]];
    *c0 = Corner{&s, 3 * i, mask, 0};
    *c1 = Corner{&s, 3 * i + 1, mask, 0};
    *c2 = Corner{&s, 3 * i + 2, mask, 0};
    weights.Push(d01, d02, d12, c0);
    weights.Push(d01, d12, d02, c1);
    weights.Push(d02, d12, d01, c2);
  }
  weights.Flush();

  split.vertices.reserve(count);
  std::vector<std::pair<dword, NORMAL>> by_mask;  // this vertex's sums so far
  VerticesByNormal made;                          // this vertex's new vertices so far
  std::size_t work = work_before;
  for (std::size_t v = 0; v < count; ++v) {
    by_mask.clear();
    made.Clear();
    const Corner* begin = corners.data() + offsets[v];
    const Corner* end = corners.data() + offsets[v + 1];
    for (const Corner* corner = begin; corner != end; ++corner) {
      NORMAL normal{corner->triangle->n0, corner->triangle->n1, corner->triangle->n2};
      if (corner->mask != 0) {
        auto known = std::find_if(by_mask.begin(), by_mask.end(),
                                  [&](const auto& entry) { return entry.first == corner->mask; });
        if (known != by_mask.end()) {
          normal = known->second;
        } else {
          work += static_cast<std::size_t>(end - begin);
          if (work > kMaxSmoothingWork) {
            if (throw_when_overworked)
              throw Error(Error::Kind::too_large,
                          "smoothing groups: vertex " + std::to_string(first + v) +
                              " carries too many different groups to smooth");
            split.overworked = true;
            split.work = work - work_before;
            return split;
          }
          Accumulator sum;
          for (const Corner* other = begin; other != end; ++other)
            if ((other->mask & corner->mask) != 0) sum.Add(other->weight, *other->triangle);
          normal = sum.Finish();
          by_mask.emplace_back(corner->mask, normal);
        }
      }
      const auto [record, is_new] =
          made.Find(KeyOf(normal), static_cast<dword>(split.vertices.size()));
      if (is_new) {
        VERTEX copy = vertices[first + v];
        copy.nx = normal.n0;
        copy.ny = normal.n1;
        copy.nz = normal.n2;
        split.vertices.push_back(copy);
      }
      split.records[corner->record] = record;
    }
  }
  split.work = work - work_before;
  return split;
}

void Model::OutGLFinishModelBySmoothingGroups() {
  std::vector<MaskedTriangle> originals;
  for (const POLYGONLIST& material : poly_list_) {
    if (material.SmoothingGroups.size() != material.TriangleIndexList.size())
      throw Error(Error::Kind::invalid_model, "material '" + ShownName(material.name) +
                                                  "' has no smoothing group for every triangle");
    const std::size_t step = material.doublesided != 0 ? 2 : 1;
    for (std::size_t t = 0; t < material.TriangleIndexList.size(); t += step)
      originals.push_back({&material.TriangleIndexList[t], material.SmoothingGroups[t]});
  }
  SmoothingSplit split =
      SplitBySmoothingGroups(vertex_list_.data(), 0, NumVertex(), originals, 0, true);

  // Renumber the triangles; a reversed copy takes its original's records.
  const dword* records = split.records.data();
  for (POLYGONLIST& material : poly_list_) {
    std::vector<SURFACE>& triangles = material.TriangleIndexList;
    const std::size_t step = material.doublesided != 0 ? 2 : 1;
    for (std::size_t t = 0; t < triangles.size(); t += step, records += 3)
      RenumberSplitTriangle(&triangles[t], t + 1 < triangles.size() ? step : 1, records, 0);
  }
  vertex_list_ = std::move(split.vertices);
}

}  // namespace torvik
