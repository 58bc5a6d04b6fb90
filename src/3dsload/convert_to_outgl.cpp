// Scene to model: materials first, then mesh by mesh all vertices followed by
// the triangles of every face-material group.
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>

#include "mesh_check.h"
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
};

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
  if (add_default) model.OutGLAddMaterial(kWhite, kWhite, kWhite, kDefaultMaterialName, "", 1);
  for (const H3dsMat& mat : scene.material)
    model.OutGLAddMaterial(WithAlpha(mat.ambient, mat.alpha), WithAlpha(mat.diffuse, mat.alpha),
                           WithAlpha(mat.specular, mat.alpha), mat.name, mat.texture.texturename,
                           mat.doublesided);

  // Size the tables once.
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
      const std::size_t index = model.FindMaterialIndex(binding.name).value_or(0);
      binding_material[m].push_back(index);
      triangles_per_material[index] += binding.faces.size();
    }
  }
  model.ReserveVertices(total_vertices);
  for (std::size_t i = 0; i < triangles_per_material.size(); ++i)
    model.ReserveTriangles(i, triangles_per_material[i]);

  dword current = 0;
  // One face-material group's triangles and masks, sized at once for the
  // most a group lists (its count is 16-bit): grown step by step, they would
  // end up above the meshes in the heap and keep the memory of the meshes
  // released below them from going back to the system.
  constexpr std::size_t kMostFacesInAGroup = 0xFFFF;
  std::vector<TRIANGLE> triangles;
  std::vector<dword> masks;
  triangles.reserve(kMostFacesInAGroup);
  if (options.smoothing_groups) masks.reserve(kMostFacesInAGroup);
  auto queue_mesh = [&](std::size_t m) {
    StopIfCancelled(options.cancel);
    H3dsMeshObj& mesh = scene.meshobjlist[m];
    for (H3dsVert& vert : mesh.vertlist) std::swap(vert.y, vert.z);
    for (std::size_t i = 0; i < mesh.vertlist.size(); ++i) {
      const H3dsVert& vert = mesh.vertlist[i];
      VERTEX vertex{0, 0, 0, 0, 0, vert.x, vert.y, vert.z};
      if (i < mesh.maplist.size()) {
        vertex.u = mesh.maplist[i].u;
        vertex.v = mesh.maplist[i].v;
      }
      model.OutGLAddVertex(vertex);
    }
    for (std::size_t b = 0; b < mesh.bindings.size(); ++b) {
      triangles.clear();
      masks.clear();
      for (const uword face_index : mesh.bindings[b].faces) {
        const H3dsFace& face = mesh.facelist[face_index];
        // The winding is reversed along with the change of axes.
        triangles.push_back(TRIANGLE{face.p0 + current, face.p2 + current, face.p1 + current});
        if (options.smoothing_groups)
          masks.push_back(mesh.smoothing.empty() ? kOneGroup : mesh.smoothing[face_index]);
      }
      model.QueuePolygons(triangles, binding_material[m][b], masks);
    }
    current += static_cast<dword>(mesh.vertlist.size());
    if (release_meshes) mesh = H3dsMeshObj();
  };
  if (options.smoothing_groups) {
    for (std::size_t m = 0; m < scene.meshobjlist.size(); ++m) queue_mesh(m);
    StopIfCancelled(options.cancel);
    model.AddQueuedPolygons(options.threads);
    StopIfCancelled(options.cancel);
    model.OutGLFinishModelBySmoothingGroups();
  } else {
    // The normals of each mesh are computed while the next ones are queued.
    model.QueueMeshesAndFinish(scene.meshobjlist.size(), queue_mesh, options.threads);
  }
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

}  // namespace torvik
