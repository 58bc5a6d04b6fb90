// The renderer-oriented model: one vertex table shared by all materials and
// one triangle table per material, with face and vertex normals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "torvik32c/export.h"
#include "torvik32c/types.h"

namespace torvik {

struct RGB {
  float32 red, green, blue, alpha;
};

struct VERTEX {
  float32 u, v;
  float32 nx, ny, nz;
  float32 x, y, z;
};

struct TRIANGLE {
  dword p0, p1, p2;
};

struct NORMAL {
  float32 n0, n1, n2;
};

// A stored triangle with its unit face normal.
struct SURFACE {
  dword p0, p1, p2;
  float32 n0, n1, n2;
};

// One material and the triangles drawn with it.  In a two-sided material
// every triangle is followed by its reversed copy, so the copies are the
// entries at odd positions.
struct POLYGONLIST {
  std::string name;
  RGB ambient, diffuse, specular;
  int doublesided = 0;
  std::vector<SURFACE> TriangleIndexList;
  std::string texturename;
  // For a model finished by smoothing groups: the mask of every entry of
  // TriangleIndexList (a reversed copy has its original's).  Empty otherwise.
  std::vector<dword> SmoothingGroups;

  std::size_t NumTriangles() const { return TriangleIndexList.size(); }
};

class SceneConverter;

class Model {
 public:
  // Appends a material.  Names are not tested for duplicates: triangles go to
  // the first material of a name.
  TORVIK_API void OutGLAddMaterial(RGB ambient, RGB diffuse, RGB specular, std::string_view name,
                                   std::string_view texname, int doublesided);

  // Appends a vertex; its index is the vertex count before the call.
  TORVIK_API void OutGLAddVertex(const VERTEX& v);

  // Adds a triangle to the first material called MaterialName.  A degenerate
  // triangle is dropped (and counted) without looking at the name; otherwise
  // an unknown name throws UnknownMaterial.  The corners must be indices of
  // vertices already added.
  TORVIK_API void OutGLAddPolygon(TRIANGLE tri, std::string_view MaterialName);

  // Gives every vertex the angle-weighted average of the face normals of the
  // triangles that use it.  Called once, after the last triangle.  Large
  // models share the work among the machine's cores; the result is the same
  // for any number of threads.
  TORVIK_API void OutGLFinishModel();
  TORVIK_API void OutGLFinishModel(std::size_t threads);

  // Finishes the model by smoothing groups (each material's SmoothingGroups
  // must hold one mask per triangle): every triangle corner gets the
  // angle-weighted average of the face normals of the triangles at its
  // vertex whose masks share a bit with its own, or its face normal for a
  // mask of 0.  A vertex whose corners get different normals becomes one
  // vertex per normal, so the vertex table grows and triangles are
  // renumbered.  Throws Error when a vertex carries so many different groups
  // that the work would run away.
  TORVIK_API void OutGLFinishModelBySmoothingGroups();

  // Gives the vertices from `first` on the normals `normals`, one each, in
  // place of those the model computed (models whose normals come with them,
  // as a glTF's can).  A normal that is not finite leaves the vertex's own;
  // entries past the last vertex are ignored.
  TORVIK_API void OutGLSetVertexNormals(std::size_t first, std::span<const NORMAL> normals);

  // Empties the model.
  TORVIK_API void FreeData();

  std::size_t NumVertex() const { return vertex_list_.size(); }
  std::size_t NumPolyLists() const { return poly_list_.size(); }
  std::size_t DegenerateDropped() const { return degenerate_dropped_; }

  // The tables, read-only: they change only through the operations above.
  const std::vector<VERTEX>& VertexList() const { return vertex_list_; }
  const std::vector<POLYGONLIST>& PolyList() const { return poly_list_; }

 private:
  // The conversion from a 3DS scene fills the model in bulk through the
  // members below, which are not part of the API.
  friend class SceneConverter;

  // Index of the first material called `name`.
  std::optional<std::size_t> FindMaterialIndex(std::string_view name) const;

  // Capacity hints, so tables are sized once from the counts a file declares
  // (with `masks`, the triangles' smoothing masks too).
  void ReserveVertices(std::size_t count);
  void ReserveTriangles(std::size_t material, std::size_t count, bool masks);

  // The triangle queue: QueuePolygons only stores the corners (and, for a
  // model finished by smoothing groups, the triangles' masks: one each, or
  // none); QueueMeshesAndFinish computes the face normals, marks the
  // degenerate triangles and drops them at the end.  The tables end up
  // exactly as if every triangle had been added by OutGLAddPolygon in queue
  // order.
  void QueuePolygons(std::span<const TRIANGLE> triangles, std::size_t material,
                     std::span<const dword> masks);
  // Removes the queued triangles that the face normals found degenerate.
  void DropMarkedTriangles();

  // The queue mesh by mesh, with the normals alongside: queue_mesh(m) adds
  // mesh m's vertices after all others (OutGLAddVertex, within the room
  // reserved) and queues its triangles, which use only its own vertices.
  // Meanwhile the face and vertex normals of the meshes already queued are
  // computed on up to `thread_budget` threads (0: the cores).  The model
  // ends up exactly as after adding every triangle with OutGLAddPolygon and
  // OutGLFinishModel: a vertex's triangles all belong to its mesh, so its
  // sum takes them in the same order.  With `by_smoothing_groups` (every
  // triangle queued with its mask, the masks' room reserved too) it ends up
  // as after OutGLFinishModelBySmoothingGroups instead: each mesh's vertices
  // are split on their own, then numbered after those of the meshes before.
  void QueueMeshesAndFinish(std::size_t meshes, const std::function<void(std::size_t)>& queue_mesh,
                            std::size_t thread_budget, bool by_smoothing_groups);

  // OutGLFinishModel on at most `thread_budget` threads (0: the cores).
  void FinishModelWithin(std::size_t thread_budget);

  void CheckCorners(TRIANGLE tri) const;
  bool MakeSurface(TRIANGLE tri, SURFACE& surface);
  void StoreSurface(const SURFACE& surface, std::size_t material);

  std::vector<VERTEX> vertex_list_;
  std::vector<POLYGONLIST> poly_list_;
  std::unordered_map<std::string, std::size_t> first_material_;
  std::vector<std::size_t> queued_from_;  // per material: its first queued entry
  // While queueing mesh by mesh: the triangles queued since the mesh began,
  // as (material, first entry, triangles) runs.
  struct QueuedRun {
    std::size_t material, from, count;
  };
  std::vector<QueuedRun> mesh_runs_;
  bool by_mesh_ = false;
  std::size_t degenerate_dropped_ = 0;
};

}  // namespace torvik
