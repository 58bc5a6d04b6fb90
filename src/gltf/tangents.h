// The tangents a normal map needs on the vertices that carry it: glTF's
// TANGENT attribute, so that viewers need not derive them (which each does
// its own way).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "gltf_builder.h"
#include "scene_mesh_arrays.h"

namespace torvik::gltf_build {

// Four floats per vertex of `arrays` (whose normals are unit): the unit
// tangent (x, y, z) along which the texture's u grows, made square to the
// normal, and w = 1 or -1 so that w (normal x tangent) points up the image
// (where the file's v grows, glTF's v falls), as the normal maps' +Y does.
// Each vertex sums the directions of the triangles of `indices` that use
// it; a vertex whose triangles give u no direction takes any one square to
// its normal, with w = 1.
std::vector<float> VertexTangents(const VertexArrays& arrays,
                                  std::span<const std::uint32_t> indices);

// The tangents of a scene mesh's vertices, of the triangles of all its parts.
std::vector<float> MeshTangents(const MeshArrays& arrays);

}  // namespace torvik::gltf_build
