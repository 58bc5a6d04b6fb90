// Vertex normals: the angle-weighted average of the face normals of the
// triangles at a vertex.
//
// A vertex's triangles are summed in the reverse of the order in which they
// were linked (materials in order, triangles in table order), and the
// rounding of every step is part of the result.  The reversed copies of
// two-sided triangles are not linked: each would cancel its original.
#include <algorithm>
#include <cmath>
#include <vector>

#include "torvik32c/outgl.h"

namespace torvik {

namespace {

// Per vertex, the triangles that use it, in summation order: an
// offsets-plus-entries table.
struct VertexTriangles {
  std::vector<std::size_t> offsets;  // NumVertex + 1 entries
  std::vector<const SURFACE*> triangles;
};

template <class Visit>
void ForEachLinkedTriangle(const std::vector<POLYGONLIST>& materials, Visit&& visit) {
  for (const POLYGONLIST& material : materials) {
    const std::size_t step = material.doublesided != 0 ? 2 : 1;
    for (std::size_t t = 0; t < material.TriangleIndexList.size(); t += step)
      visit(material.TriangleIndexList[t]);
  }
}

VertexTriangles LinkVerticesToPolygons(const Model& model) {
  VertexTriangles links;
  links.offsets.assign(model.NumVertex() + 1, 0);
  ForEachLinkedTriangle(model.PolyList, [&](const SURFACE& s) {
    ++links.offsets[s.p0 + 1];
    ++links.offsets[s.p1 + 1];
    ++links.offsets[s.p2 + 1];
  });
  for (std::size_t i = 1; i < links.offsets.size(); ++i) links.offsets[i] += links.offsets[i - 1];
  links.triangles.resize(links.offsets.back());
  // Fill each vertex's range from its end, so that the triangle linked last
  // comes first.
  std::vector<std::size_t> next(links.offsets.begin() + 1, links.offsets.end());
  ForEachLinkedTriangle(model.PolyList, [&](const SURFACE& s) {
    links.triangles[--next[s.p0]] = &s;
    links.triangles[--next[s.p1]] = &s;
    links.triangles[--next[s.p2]] = &s;
  });
  return links;
}

float32 Round(double value) { return static_cast<float32>(value); }

bool IsNonZeroNumber(float32 value) { return value != 0.0f && !std::isnan(value); }

void CalculateVertexNormals(Model& model, const VertexTriangles& links) {
  std::vector<VERTEX>& vertices = model.VertexList;
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    float32 nx = 0, ny = 0, nz = 0, TotalAngles = 0;
    for (std::size_t k = links.offsets[i]; k < links.offsets[i + 1]; ++k) {
      const SURFACE& triangle = *links.triangles[k];
      const double VertexAngle = angle(vertices, triangle, static_cast<dword>(i));
      nx = Round(static_cast<double>(nx) + VertexAngle * static_cast<double>(triangle.n0));
      ny = Round(static_cast<double>(ny) + VertexAngle * static_cast<double>(triangle.n1));
      nz = Round(static_cast<double>(nz) + VertexAngle * static_cast<double>(triangle.n2));
      TotalAngles = Round(static_cast<double>(TotalAngles) + VertexAngle);
    }
    if (IsNonZeroNumber(TotalAngles)) {
      nx = Round(static_cast<double>(nx) / static_cast<double>(TotalAngles));
      ny = Round(static_cast<double>(ny) / static_cast<double>(TotalAngles));
      nz = Round(static_cast<double>(nz) / static_cast<double>(TotalAngles));
    }
    const double dx = nx, dy = ny, dz = nz;
    const float32 sum = Round(dx * dx + dy * dy + dz * dz);
    if (IsNonZeroNumber(sum)) {
      const double magnitude = Round(1.0 / std::sqrt(static_cast<double>(sum)));
      nx = Round(dx * magnitude);
      ny = Round(dy * magnitude);
      nz = Round(dz * magnitude);
    }
    vertices[i].nx = nx;
    vertices[i].ny = ny;
    vertices[i].nz = nz;
  }
}

}  // namespace

double distance(const VERTEX& v1, const VERTEX& v2) {
  const double dx = static_cast<double>(v1.x) - static_cast<double>(v2.x);
  const double dy = static_cast<double>(v1.y) - static_cast<double>(v2.y);
  const double dz = static_cast<double>(v1.z) - static_cast<double>(v2.z);
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float32 angle(const std::vector<VERTEX>& vertices, const SURFACE& triangle, dword vertex) {
  const VERTEX& P0 = vertices[triangle.p0];
  const VERTEX& P1 = vertices[triangle.p1];
  const VERTEX& P2 = vertices[triangle.p2];
  double a, b, c;  // a and b meet at the corner, c is opposite it
  if (vertex == triangle.p0) {
    a = distance(P0, P1);
    b = distance(P0, P2);
    c = distance(P1, P2);
  } else if (vertex == triangle.p1) {
    a = distance(P1, P0);
    b = distance(P1, P2);
    c = distance(P2, P0);
  } else {
    a = distance(P2, P0);
    b = distance(P2, P1);
    c = distance(P0, P1);
  }
  // The negated cosine of the corner, so the weight is pi minus the corner's
  // angle.  Rounding on a sliver can push it just outside [-1, 1].
  double result = ((c * c - a * a) - b * b) / ((2 * a) * b);
  if (std::isnan(result)) return 0.0f;
  result = std::clamp(result, -1.0, 1.0);
  return static_cast<float32>(std::acos(result));
}

void Model::OutGLFinishModel() { CalculateVertexNormals(*this, LinkVerticesToPolygons(*this)); }

}  // namespace torvik
