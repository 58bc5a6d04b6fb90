// The model's tables: materials, vertices and triangles.
#include <cmath>
#include <stdexcept>
#include <string>

#include "base/large_tables.h"
#include "surface_normal.h"
#include "torvik32c/errors.h"
#include "torvik32c/name_text.h"
#include "torvik32c/outgl.h"

namespace torvik {

void Model::OutGLAddMaterial(RGB ambient, RGB diffuse, RGB specular, std::string_view name,
                             std::string_view texname, int doublesided) {
  POLYGONLIST& material = poly_list_.emplace_back();
  material.name = name;
  material.ambient = ambient;
  material.diffuse = diffuse;
  material.specular = specular;
  material.doublesided = doublesided;
  material.texturename = texname;
  // Triangles go to the first material of a name.
  first_material_.try_emplace(material.name, poly_list_.size() - 1);
}

void Model::OutGLAddVertex(const VERTEX& v) {
  // Queueing mesh by mesh, other threads read the table meanwhile: it must
  // not move.
  if (by_mesh_ && vertex_list_.size() == vertex_list_.capacity())
    throw std::logic_error("a mesh adds more vertices than the room reserved");
  vertex_list_.push_back(v);
}

void Model::OutGLSetVertexNormals(std::size_t first, std::span<const NORMAL> normals) {
  for (std::size_t i = 0;
       i < normals.size() && first < vertex_list_.size() && i < vertex_list_.size() - first; ++i) {
    const NORMAL& n = normals[i];
    if (!std::isfinite(n.n0) || !std::isfinite(n.n1) || !std::isfinite(n.n2)) continue;
    VERTEX& vertex = vertex_list_[first + i];
    vertex.nx = n.n0;
    vertex.ny = n.n1;
    vertex.nz = n.n2;
  }
}

std::optional<std::size_t> Model::FindMaterialIndex(std::string_view name) const {
  const auto found = first_material_.find(std::string(name));
  if (found == first_material_.end()) return std::nullopt;
  return found->second;
}

void Model::OutGLAddPolygon(TRIANGLE tri, std::string_view MaterialName) {
  SURFACE surface;
  if (!MakeSurface(tri, surface)) return;
  const std::optional<std::size_t> material = FindMaterialIndex(MaterialName);
  if (!material)
    throw UnknownMaterial("a triangle names the material '" + ShownName(MaterialName) +
                          "', which the model does not have");
  StoreSurface(surface, *material);
}

void Model::CheckCorners(TRIANGLE tri) const {
  const std::size_t count = vertex_list_.size();
  if (tri.p0 >= count || tri.p1 >= count || tri.p2 >= count)
    throw Error(Error::Kind::invalid_model,
                "a triangle uses a vertex beyond the model's " + std::to_string(count));
}

bool Model::MakeSurface(TRIANGLE tri, SURFACE& surface) {
  CheckCorners(tri);
  surface = SURFACE{tri.p0, tri.p1, tri.p2, 0, 0, 0};
  if (CalculateSurfaceNormal(vertex_list_, surface)) return true;
  ++degenerate_dropped_;
  return false;
}

void Model::StoreSurface(const SURFACE& surface, std::size_t material) {
  POLYGONLIST& list = poly_list_[material];
  list.TriangleIndexList.push_back(surface);
  if (list.doublesided != 0)
    list.TriangleIndexList.push_back(ReversedSurface(vertex_list_, surface));
}

void Model::QueuePolygons(std::span<const TRIANGLE> triangles, std::size_t material,
                          std::span<const dword> masks) {
  for (const TRIANGLE& tri : triangles) CheckCorners(tri);
  if (material >= poly_list_.size())
    throw UnknownMaterial("a triangle names material " + std::to_string(material) + " of " +
                          std::to_string(poly_list_.size()));
  if (!masks.empty() && masks.size() != triangles.size())
    throw Error(Error::Kind::invalid_model, "smoothing groups for some triangles only");
  for (std::size_t m = queued_from_.size(); m < poly_list_.size(); ++m)
    queued_from_.push_back(poly_list_[m].TriangleIndexList.size());
  POLYGONLIST& list = poly_list_[material];
  std::vector<SURFACE>& table = list.TriangleIndexList;
  if (by_mesh_) {
    const std::size_t entries = (list.doublesided != 0 ? 2 : 1) * triangles.size();
    if (table.capacity() - table.size() < entries ||
        (!masks.empty() && list.SmoothingGroups.capacity() < table.size() + entries))
      throw std::logic_error("a mesh queues more triangles than the room reserved");
    mesh_runs_.push_back({material, table.size(), triangles.size()});
  }
  if (list.doublesided != 0) {
    for (const TRIANGLE& tri : triangles) {
      table.push_back(SURFACE{tri.p0, tri.p1, tri.p2, 0, 0, 0});
      table.push_back(SURFACE{tri.p0, tri.p2, tri.p1, 0, 0, 0});
    }
  } else {
    for (const TRIANGLE& tri : triangles) table.push_back(SURFACE{tri.p0, tri.p1, tri.p2, 0, 0, 0});
  }
  if (masks.empty()) return;
  // Each triangle's entries (the original and any reversed copy) take its mask.
  std::vector<dword>& groups = list.SmoothingGroups;
  const std::size_t step = list.doublesided != 0 ? 2 : 1;
  const std::size_t first = table.size() - step * triangles.size();
  if (groups.size() < first) groups.resize(first, masks.front());
  for (const dword mask : masks) groups.insert(groups.end(), step, mask);
}

void Model::ReserveVertices(std::size_t count) { ReserveLarge(vertex_list_, count); }

void Model::ReserveTriangles(std::size_t material, std::size_t count, bool masks) {
  POLYGONLIST& list = poly_list_.at(material);
  const std::size_t entries = list.doublesided != 0 ? 2 * count : count;
  ReserveLarge(list.TriangleIndexList, entries);
  if (masks) ReserveLarge(list.SmoothingGroups, entries);
}

void Model::FreeData() {
  vertex_list_ = {};
  poly_list_ = {};
  first_material_ = {};
  queued_from_ = {};
  mesh_runs_ = {};
  by_mesh_ = false;
  degenerate_dropped_ = 0;
}

}  // namespace torvik
