// The model's tables: materials, vertices and triangles.
#include <string>

#include "large_tables.h"
#include "torvik32c/errors.h"
#include "torvik32c/outgl.h"

namespace torvik {

void Model::OutGLAddMaterial(RGB ambient, RGB diffuse, RGB specular, std::string_view name,
                             std::string_view texname, int doublesided) {
  POLYGONLIST& material = PolyList.emplace_back();
  material.name = name;
  material.ambient = ambient;
  material.diffuse = diffuse;
  material.specular = specular;
  material.doublesided = doublesided;
  material.texturename = texname;
  // Triangles go to the first material of a name.
  first_material_.try_emplace(material.name, PolyList.size() - 1);
}

void Model::OutGLAddVertex(const VERTEX& v) { VertexList.push_back(v); }

std::int64_t Model::FindMaterialIndex(std::string_view name) const {
  const auto found = first_material_.find(std::string(name));
  return found == first_material_.end() ? -1 : static_cast<std::int64_t>(found->second);
}

void Model::OutGLAddPolygon(TRIANGLE tri, std::string_view MaterialName) {
  SURFACE surface;
  if (!MakeSurface(tri, surface)) return;
  const std::int64_t material = FindMaterialIndex(MaterialName);
  if (material < 0)
    throw UnknownMaterial("a triangle names the material '" + std::string(MaterialName) +
                          "', which the model does not have");
  StoreSurface(surface, static_cast<std::size_t>(material));
}

void Model::AddPolygonToMaterial(TRIANGLE tri, std::size_t material) {
  if (material >= PolyList.size())
    throw UnknownMaterial("a triangle names material " + std::to_string(material) + " of " +
                          std::to_string(PolyList.size()));
  SURFACE surface;
  if (MakeSurface(tri, surface)) StoreSurface(surface, material);
}

bool Model::MakeSurface(TRIANGLE tri, SURFACE& surface) {
  const std::size_t count = VertexList.size();
  if (tri.p0 >= count || tri.p1 >= count || tri.p2 >= count)
    throw Error("a triangle uses a vertex beyond the model's " + std::to_string(count));
  surface = SURFACE{tri.p0, tri.p1, tri.p2, 0, 0, 0};
  if (CalculateSurfaceNormal(VertexList, surface) == 0) return true;
  ++degenerate_dropped_;
  return false;
}

void Model::StoreSurface(const SURFACE& surface, std::size_t material) {
  POLYGONLIST& list = PolyList[material];
  list.TriangleIndexList.push_back(surface);
  if (list.doublesided != 0) {
    // The reversed copy gets the normal of its own corners; should that cross
    // product round to zero, the negated normal of the first copy.
    SURFACE reversed{surface.p0, surface.p2, surface.p1, -surface.n0, -surface.n1, -surface.n2};
    CalculateSurfaceNormal(VertexList, reversed);
    list.TriangleIndexList.push_back(reversed);
  }
}

void Model::QueuePolygon(TRIANGLE tri, std::size_t material) {
  const std::size_t count = VertexList.size();
  if (tri.p0 >= count || tri.p1 >= count || tri.p2 >= count)
    throw Error("a triangle uses a vertex beyond the model's " + std::to_string(count));
  if (material >= PolyList.size())
    throw UnknownMaterial("a triangle names material " + std::to_string(material) + " of " +
                          std::to_string(PolyList.size()));
  if (queued_from_.size() < PolyList.size()) {
    for (std::size_t m = queued_from_.size(); m < PolyList.size(); ++m)
      queued_from_.push_back(PolyList[m].TriangleIndexList.size());
  }
  POLYGONLIST& list = PolyList[material];
  list.TriangleIndexList.push_back(SURFACE{tri.p0, tri.p1, tri.p2, 0, 0, 0});
  if (list.doublesided != 0)
    list.TriangleIndexList.push_back(SURFACE{tri.p0, tri.p2, tri.p1, 0, 0, 0});
}

void Model::ReserveVertices(std::size_t count) { ReserveLarge(VertexList, count); }

void Model::ReserveTriangles(std::size_t material, std::size_t count) {
  POLYGONLIST& list = PolyList.at(material);
  ReserveLarge(list.TriangleIndexList, list.doublesided != 0 ? 2 * count : count);
}

void Model::FreeData() {
  VertexList = {};
  PolyList = {};
  first_material_ = {};
  degenerate_dropped_ = 0;
}

}  // namespace torvik
