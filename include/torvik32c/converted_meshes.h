// The model of a scene as the BMF's conversion made it, kept for the scene
// glTF of the same bytes: where a mesh comes out of both the same (its
// vertices where the glTF stores them, one smoothing group, every vertex
// used), the glTF takes its vertices, normals and triangles from the model
// instead of converting the mesh again.  Part of torvik_gltf.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "torvik32c/outgl.h"

namespace torvik {

struct ConvertedMeshes {
  // Entries [from, to) of a material's table, every `step`th (a two-sided
  // material's reversed copies left out).
  struct Run {
    std::size_t material = 0, from = 0, to = 0, step = 1;
  };
  // Where one scene mesh lies in the model.
  struct Mesh {
    std::size_t first_vertex = 0, vertex_count = 0;
    std::vector<Run> runs;  // by material, in the model's order
    bool taken = false;     // set by the glTF that took it
  };

  // Whether the model's material 0 is the one the conversion added.
  bool default_material = false;
  // Whether the scene was read with the faces' stored winding
  // (ReadOptions::keep_file_winding), as the scene glTF reads it.
  bool file_winding = false;
  // The model; let go once the glTF has taken what it takes.
  std::unique_ptr<const Model> model;
  std::vector<Mesh> meshes;  // one per scene mesh, in the scene's order
};

// Where the meshes lie in `model`, which convert_to_outgl made from a scene
// of `vertex_counts.size()` meshes, mesh m with vertex_counts[m] vertices,
// without the keyframer, smoothing groups or orient_outward: a model so
// made numbers each mesh's vertices after those of the meshes before, each
// material's triangles come mesh after mesh, and a mesh's triangles use
// only its own vertices.  Keeps the model; none (no model) when it is not
// laid out so.
ConvertedMeshes ShareConvertedMeshes(Model&& model, std::span<const std::size_t> vertex_counts,
                                     bool default_material, bool file_winding);

}  // namespace torvik
