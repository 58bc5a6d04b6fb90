// One 3DS mesh as the scene export writes it: its vertices carried into the
// frame the glTF mesh is stored in, with normals by smoothing groups, and its
// triangles by material, each once and in the file's own winding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "gltf_builder.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/converted_meshes.h"
#include "torvik32c/keyframer.h"

namespace torvik::gltf_build {

// The triangles of one material.
struct MeshPart {
  int material = -1;  // index into H3dsScene::material; -1 for the default material
  std::vector<std::uint32_t> indices;
};

struct MeshArrays {
  VertexArrays vertices;        // in glTF's axes, unit normals
  std::vector<MeshPart> parts;  // in the order of the scene's materials
  double extent = 0;            // the largest coordinate's magnitude
};

// The mesh `mesh` of `scene` with every vertex v stored at frame · v.  Its
// smoothing groups (none: one group) give the normals, by the library's own
// rule: angle-weighted within a group, hard edges between groups.  A frame
// with negative determinant reverses the corners, so faces keep their side;
// `reverse` reverses them all.  `first_material` gives the first material
// of each name, as the conversion binds them.
MeshArrays SceneMeshArrays(const H3dsScene& scene, std::size_t mesh, const Affine& frame,
                           bool reverse,
                           const std::unordered_map<std::string, std::size_t>& first_material);

// The arrays of a mesh converted to a model's vertices (in the model's
// axes: the file's y and z exchanged) and triangles by material (corners in
// the file's winding; the parts without any are left out).
MeshArrays ArraysOfModelMesh(std::span<const VERTEX> vertices, std::vector<MeshPart> parts);

// SceneMeshArrays's arrays of mesh `mesh` taken from `converted` (and let
// go there), when they are what it would make: the mesh's vertices stored
// at frame · v are the converted ones bit for bit, nothing reverses its
// faces, it is smoothed as one group with every vertex used, and it names
// its materials in the scene's order.  None otherwise.
std::optional<MeshArrays> ConvertedMeshArrays(
    const H3dsScene& scene, std::size_t mesh, const Affine& frame, bool reverse,
    const std::unordered_map<std::string, std::size_t>& first_material, ConvertedMeshes& converted);

}  // namespace torvik::gltf_build
