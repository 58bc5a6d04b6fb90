// Vertex normals: the angle-weighted average of the face normals of the
// triangles at a vertex.
//
// A vertex sums its triangles from the last linked to the first (materials
// in order, triangles in table order, so the last triangle of the last
// material comes first), and the rounding of every step is part of the
// result.  Walking all triangles backwards and adding each one to its three
// vertices visits every vertex's triangles in exactly that order, so no
// per-vertex lists are needed.  The reversed copies of two-sided triangles
// take no part: each would cancel its original.
//
// Each vertex's sum is independent of the others, so large models split the
// vertices into ranges, one thread each; the bytes cannot change.
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/large_tables.h"
#include "base/parallel_ranges.h"
#include "corner_weights.h"
#include "normal_sum.h"
#include "surface_normal.h"
#include "torvik32c/outgl.h"

namespace torvik {

namespace {

// Computes the normals of the vertices in [first, last) from all triangles.
void CalculateVertexNormals(std::vector<VERTEX>& vertices,
                            const std::vector<POLYGONLIST>& materials, std::size_t first,
                            std::size_t last) {
  SumVertexNormals(vertices.data(), first, last, [&](auto&& use) {
    for (auto material = materials.rbegin(); material != materials.rend(); ++material) {
      const std::vector<SURFACE>& triangles = material->TriangleIndexList;
      const std::size_t step = material->doublesided != 0 ? 2 : 1;
      // Originals stand at multiples of `step`.
      for (std::size_t n = triangles.size() / step; n-- > 0;) use(triangles[n * step]);
    }
  });
}

// Below this many triangles a second thread costs more than it saves.
constexpr std::size_t kTrianglesPerThread = 100000;

}  // namespace

float32 angle(const std::vector<VERTEX>& vertices, const SURFACE& triangle, dword vertex) {
  const VERTEX& P0 = vertices[triangle.p0];
  const VERTEX& P1 = vertices[triangle.p1];
  const VERTEX& P2 = vertices[triangle.p2];
  if (vertex == triangle.p0)
    return CornerWeight(distance(P0, P1), distance(P0, P2), distance(P1, P2));
  if (vertex == triangle.p1)
    return CornerWeight(distance(P1, P0), distance(P1, P2), distance(P2, P0));
  return CornerWeight(distance(P2, P0), distance(P2, P1), distance(P0, P1));
}

void Model::OutGLFinishModel() { FinishModelWithin(0); }

void Model::FinishModelWithin(std::size_t thread_budget) {
  std::size_t triangles = 0;
  for (const POLYGONLIST& material : poly_list_) triangles += material.NumTriangles();
  OutGLFinishModel(ThreadsFor(triangles, kTrianglesPerThread, thread_budget));
}

void Model::OutGLFinishModel(std::size_t threads) {
  const std::size_t count = NumVertex();
  const std::size_t parts = std::max<std::size_t>(1, std::min(threads, count));
  ParallelRanges(count, parts, [this](std::size_t first, std::size_t last) {
    CalculateVertexNormals(vertex_list_, poly_list_, first, last);
  });
}

}  // namespace torvik
