// One mesh of an imported model made into scene meshes: its vertices
// welded, its triangles grouped by material, and split into several scene
// meshes where it has more vertices or faces than a scene mesh holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "torvik32c/model_import.h"

namespace torvik::import {

// A vertex in the scene's axes (those of a 3DS file: z up).
struct SourceVertex {
  H3dsVert position{};
  H3dsMap uv{};
  H3dsVert normal{};
};

// The most vertices, and faces, one scene mesh holds (16-bit indices).
inline constexpr std::size_t kMostPerSceneMesh = 0xFFFF;

// The lists an assembler uses only while it works, which a reader that
// assembles many meshes hands from one to the next (their memory is then
// reused rather than asked for again).
struct AssemblyScratch {
  std::vector<std::uint32_t> table;  // open addressing: vertex index + 1, 0 free
  std::vector<std::uint32_t> corners;
  std::vector<std::uint32_t> slot_of;  // per triangle
  // The lists of a scene mesh that is done with, which a mesh written
  // whole takes in its place (their memory is warm).
  H3dsMeshObj spare;
};

class MeshAssembler {
 public:
  // With `keep_normals` vertices that differ in their normal stay apart and
  // the scene carries the normals; without it they are one vertex.
  MeshAssembler(std::string name, bool keep_normals, AssemblyScratch scratch = {});

  // The scratch lists, emptied, for the next assembler.
  AssemblyScratch TakeScratch() &&;

  // Makes room for `vertices` more vertices and `triangles` more triangles
  // (a primitive's counts), so that the welding table and the lists grow
  // once rather than step by step.
  void Reserve(std::size_t vertices, std::size_t triangles);

  // The index of a vertex equal to `vertex` (bit for bit in position,
  // texture coordinates and, when kept, normal), added when there is none.
  std::uint32_t Welded(const SourceVertex& vertex);
  // Adds `vertex` as a vertex of its own.
  std::uint32_t Added(const SourceVertex& vertex);

  // The slot of the material named `binding` (the scene's binding name),
  // numbered in order of first use.
  std::size_t Slot(const std::string& binding);
  // A triangle with the given corners (indices the two calls above gave),
  // as a 3DS face: the scene's winding.
  void Triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::size_t slot);

  std::size_t Vertices() const { return positions_.size(); }
  std::size_t Triangles() const { return slot_of_.size(); }

  // Appends the mesh to `out` as one scene mesh, or several when it holds
  // more than kMostPerSceneMesh vertices or faces: each material's triangles
  // keep their order, each scene mesh holds one material's (split where the
  // BMF writer splits a material's blocks, so that a block's vertices are
  // the same as the whole mesh's), and the vertices get the normals
  // the conversion gives the whole mesh, so no seam shows where it was
  // split.  `double_sided(name)` says whether the material of a binding is
  // two-sided (whose reversed copies the conversion counts as it does).  A
  // mesh without triangles adds nothing.
  void Finish(ImportedScene& out, const std::function<bool(const std::string&)>& double_sided);

 private:
  std::size_t HashOf(const SourceVertex& vertex) const;
  bool Same(std::uint32_t index, const SourceVertex& vertex) const;
  void Grow(std::size_t size);
  std::uint32_t Append(const SourceVertex& vertex);
  std::vector<std::vector<std::uint32_t>> TrianglesBySlot() const;
  std::vector<H3dsVert> WholeMeshNormals(
      const std::function<bool(const std::string&)>& double_sided) const;
  void FinishWhole(ImportedScene& out);
  void FinishSplit(ImportedScene& out, const std::vector<H3dsVert>& normals);

  std::string name_;
  bool keep_normals_;
  // The vertices, each list as the scene mesh holds it, so that a mesh
  // written whole takes them as they are.
  std::vector<H3dsVert> positions_;
  std::vector<H3dsMap> uvs_;
  std::vector<H3dsVert> normals_;     // with keep_normals_ only
  std::vector<std::uint32_t> table_;  // open addressing: vertex index + 1, 0 free
  std::vector<std::uint32_t> corners_;
  std::vector<std::uint32_t> slot_of_;  // per triangle
  std::size_t table_size_ = 0;          // the part of table_ in use
  H3dsMeshObj spare_;
  std::vector<std::string> slots_;
};

}  // namespace torvik::import
