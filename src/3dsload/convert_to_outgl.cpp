// Scene to model: materials first, then mesh by mesh all vertices followed by
// the triangles of every face-material group.
#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <utility>

#include "mesh_check.h"
#include "scene_mesh_stream.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/errors.h"

namespace torvik {

namespace {

constexpr RGB kWhite{1.0f, 1.0f, 1.0f, 1.0f};

RGB WithAlpha(const H3dsRGBColor& color, float32 alpha) {
  return RGB{color.red, color.green, color.blue, alpha};
}

// A binding whose material the scene lacks goes to the default material, so
// the default material is needed for such a binding as well as for a mesh
// that had no face-material group at all.
bool NeedsDefaultMaterial(const H3dsScene& scene) {
  if (scene.defaultmaterialwarning) return true;
  std::unordered_set<std::string_view> names;
  for (const H3dsMat& mat : scene.material) names.insert(mat.name);
  for (const H3dsMeshObj& mesh : scene.meshobjlist)
    for (const H3dsMatList& binding : mesh.bindings)
      if (!names.contains(binding.name)) return true;
  return false;
}

}  // namespace

// A mesh without smoothing groups is smoothed as a single group.
constexpr dword kOneGroup = 0xFFFFFFFF;

// Fills a model in bulk: the model lets the conversion size its tables and
// queue the triangles, whose face normals are then computed on all cores.
class SceneConverter {
 public:
  static Model Convert(H3dsScene& scene, ConversionStats* stats, const ConvertOptions& options,
                       bool release_meshes);
  static Model Convert(H3dsScene& scene, SceneMeshStream& stream, ConversionStats* stats,
                       const ConvertOptions& options);

 private:
  static void AddMaterials(Model& model, const H3dsScene& scene, bool add_default);
  static std::size_t MaterialOf(const Model& model, const std::string& binding) {
    return model.FindMaterialIndex(binding).value_or(0);
  }
  static void Reserve(Model& model, std::size_t vertices,
                      const std::vector<std::size_t>& triangles_per_material, bool masks);
  class MeshQueue;
};

// Queues meshes one after another: all of a mesh's vertices, then the
// triangles of each of its face-material groups.
class SceneConverter::MeshQueue {
 public:
  MeshQueue(Model& model, const ConvertOptions& options) : model_(model), options_(options) {
    // One face-material group's triangles and masks, sized at once for the
    // most a group lists (its count is 16-bit): grown step by step, they
    // would end up above the meshes in the heap and keep the memory of the
    // meshes released below them from going back to the system.
    constexpr std::size_t kMostFacesInAGroup = 0xFFFF;
    triangles_.reserve(kMostFacesInAGroup);
    if (options.smoothing_groups) masks_.reserve(kMostFacesInAGroup);
  }

  // `binding_material` holds the model's material of each face-material
  // group of the mesh.
  void Queue(H3dsMeshObj& mesh, const std::vector<std::size_t>& binding_material) {
    StopIfCancelled(options_.cancel);
    for (H3dsVert& vert : mesh.vertlist) std::swap(vert.y, vert.z);
    for (std::size_t i = 0; i < mesh.vertlist.size(); ++i) {
      const H3dsVert& vert = mesh.vertlist[i];
      VERTEX vertex{0, 0, 0, 0, 0, vert.x, vert.y, vert.z};
      if (i < mesh.maplist.size()) {
        vertex.u = mesh.maplist[i].u;
        vertex.v = mesh.maplist[i].v;
      }
      model_.OutGLAddVertex(vertex);
    }
    for (std::size_t b = 0; b < mesh.bindings.size(); ++b) {
      triangles_.clear();
      masks_.clear();
      for (const uword face_index : mesh.bindings[b].faces) {
        const H3dsFace& face = mesh.facelist[face_index];
        // The winding is reversed along with the change of axes.
        triangles_.push_back(TRIANGLE{face.p0 + current_, face.p2 + current_, face.p1 + current_});
        if (options_.smoothing_groups)
          masks_.push_back(mesh.smoothing.empty() ? kOneGroup : mesh.smoothing[face_index]);
      }
      model_.QueuePolygons(triangles_, binding_material[b], masks_);
    }
    current_ += static_cast<dword>(mesh.vertlist.size());
  }

 private:
  Model& model_;
  const ConvertOptions& options_;
  dword current_ = 0;
  std::vector<TRIANGLE> triangles_;
  std::vector<dword> masks_;
};

void SceneConverter::AddMaterials(Model& model, const H3dsScene& scene, bool add_default) {
  if (add_default) model.OutGLAddMaterial(kWhite, kWhite, kWhite, kDefaultMaterialName, "", 1);
  for (const H3dsMat& mat : scene.material)
    model.OutGLAddMaterial(WithAlpha(mat.ambient, mat.alpha), WithAlpha(mat.diffuse, mat.alpha),
                           WithAlpha(mat.specular, mat.alpha), mat.name, mat.texture.texturename,
                           mat.doublesided);
}

// Sizes the tables once.
void SceneConverter::Reserve(Model& model, std::size_t vertices,
                             const std::vector<std::size_t>& triangles_per_material, bool masks) {
  model.ReserveVertices(vertices);
  for (std::size_t i = 0; i < triangles_per_material.size(); ++i)
    model.ReserveTriangles(i, triangles_per_material[i], masks);
}

Model SceneConverter::Convert(H3dsScene& scene, ConversionStats* stats,
                              const ConvertOptions& options, bool release_meshes) {
  Model model;
  if (options.keyframer && !scene.nodes.empty()) {
    ScenePlacement placement = PlaceScene(scene, options.names);
    DrawPlacedMeshes(scene, placement, options.max_placed_faces);
    if (stats != nullptr) stats->keyframer_warnings = std::move(placement.warnings);
  }
  if (options.orient_outward) {
    const std::size_t reversed = OrientOutward(scene);
    if (stats != nullptr) stats->meshes_reversed = reversed;
  }
  const bool add_default = NeedsDefaultMaterial(scene);
  AddMaterials(model, scene, add_default);

  std::size_t total_vertices = 0;
  std::vector<std::size_t> triangles_per_material(model.NumPolyLists(), 0);
  std::vector<std::vector<std::size_t>> binding_material(scene.meshobjlist.size());
  for (std::size_t m = 0; m < scene.meshobjlist.size(); ++m) {
    const H3dsMeshObj& mesh = scene.meshobjlist[m];
    // The reader guarantees the mesh's rules; a scene built by hand may not.
    if (const std::optional<std::string> fault = FindMeshFault(mesh, options.names))
      throw Error(Error::Kind::invalid_model, *fault);
    total_vertices += mesh.vertlist.size();
    for (const H3dsMatList& binding : mesh.bindings) {
      const std::size_t index = MaterialOf(model, binding.name);
      binding_material[m].push_back(index);
      triangles_per_material[index] += binding.faces.size();
    }
  }
  Reserve(model, total_vertices, triangles_per_material, options.smoothing_groups);

  MeshQueue queue(model, options);
  auto queue_mesh = [&](std::size_t m) {
    queue.Queue(scene.meshobjlist[m], binding_material[m]);
    if (release_meshes) scene.meshobjlist[m] = H3dsMeshObj();
  };
  // The normals of each mesh are computed while the next ones are queued.
  model.QueueMeshesAndFinish(scene.meshobjlist.size(), queue_mesh, options.threads,
                             options.smoothing_groups);
  if (stats != nullptr) {
    stats->default_material_added = add_default;
    stats->degenerate_dropped = model.DegenerateDropped();
  }
  return model;
}

Model SceneConverter::Convert(H3dsScene& scene, SceneMeshStream& stream, ConversionStats* stats,
                              const ConvertOptions& options) {
  Model model;
  bool add_default = scene.defaultmaterialwarning;
  for (const auto& binding : stream.triangles)
    add_default =
        add_default || std::none_of(scene.material.begin(), scene.material.end(),
                                    [&](const H3dsMat& mat) { return mat.name == binding.first; });
  AddMaterials(model, scene, add_default);
  std::vector<std::size_t> triangles_per_material(model.NumPolyLists(), 0);
  for (const auto& [binding, count] : stream.triangles)
    triangles_per_material[MaterialOf(model, binding)] += count;
  Reserve(model, stream.most_vertices, triangles_per_material, options.smoothing_groups);

  MeshQueue queue(model, options);
  std::vector<std::size_t> binding_material;
  std::vector<std::size_t> queued(model.NumPolyLists(), 0);
  auto queue_mesh = [&](std::size_t m) {
    H3dsMeshObj mesh = stream.Take(m);
    if (const std::optional<std::string> fault = FindMeshFault(mesh, options.names))
      throw Error(Error::Kind::invalid_model, *fault);
    binding_material.clear();
    for (const H3dsMatList& binding : mesh.bindings) {
      const std::size_t index = MaterialOf(model, binding.name);
      binding_material.push_back(index);
      queued[index] += binding.faces.size();
      // The tables were sized from what the stream announced; past it, they
      // would move under the threads that read them.
      if (queued[index] > triangles_per_material[index])
        throw std::logic_error("a streamed mesh has more triangles than announced");
    }
    queue.Queue(mesh, binding_material);
    stream.Recycle(std::move(mesh));
  };
  model.QueueMeshesAndFinish(stream.count, queue_mesh, options.threads, options.smoothing_groups);
  if (stats != nullptr) {
    stats->default_material_added = add_default;
    stats->degenerate_dropped = model.DegenerateDropped();
  }
  return model;
}

Model convert_to_outgl(H3dsScene& scene, ConversionStats* stats, const ConvertOptions& options) {
  return SceneConverter::Convert(scene, stats, options, false);
}

Model convert_to_outgl(H3dsScene&& scene, ConversionStats* stats, const ConvertOptions& options) {
  // Each mesh is released once converted, so the scene and the model are
  // never both held whole.
  return SceneConverter::Convert(scene, stats, options, true);
}

Model ConvertStreamedScene(H3dsScene&& scene, SceneMeshStream& meshes, ConversionStats* stats,
                           const ConvertOptions& options) {
  return SceneConverter::Convert(scene, meshes, stats, options);
}

}  // namespace torvik
