// An imported scene converted as a 3DS scene is, with the normals it carries.
#include <memory>
#include <utility>

#include "3dsload/scene_mesh_stream.h"
#include "torvik32c/model_import.h"

namespace torvik {

Model ConvertImportedScene(ImportedScene&& imported, ConversionStats* stats,
                           const ConvertOptions& options) {
  ConvertOptions plain = options;
  plain.smoothing_groups = false;
  plain.keyframer = false;
  if (imported.meshes) {
    // Taken as the reader draws them; the outward orientation needs them
    // all first.
    const std::shared_ptr<SceneMeshStream> stream = std::move(imported.meshes);
    if (!options.orient_outward)
      return ConvertStreamedScene(std::move(imported.scene), *stream, stats, plain);
    for (std::size_t m = 0; m < stream->count; ++m)
      if (H3dsMeshObj mesh = stream->Take(m); !mesh.facelist.empty()) {
        imported.scene.meshobjlist.push_back(std::move(mesh));
        imported.normals.emplace_back();
      }
  }
  const std::size_t meshes = imported.scene.meshobjlist.size();
  std::vector<std::size_t> vertices(meshes);
  std::vector<bool> reversed(meshes, false);
  bool carried = false;
  for (std::size_t m = 0; m < meshes; ++m) {
    vertices[m] = imported.scene.meshobjlist[m].vertlist.size();
    const bool has_normals = m < imported.normals.size() && !imported.normals[m].empty();
    carried = carried || has_normals;
    if (has_normals && options.orient_outward)
      reversed[m] = FacesInward(imported.scene.meshobjlist[m]);
  }
  // The scene has neither keyframer nor smoothing groups: every mesh's
  // vertices follow those of the meshes before it, as read.
  std::vector<std::vector<H3dsVert>> normals = std::move(imported.normals);
  Model model = convert_to_outgl(std::move(imported.scene), stats, plain);
  if (!carried) return model;
  std::size_t first = 0;
  std::vector<NORMAL> given;
  for (std::size_t m = 0; m < meshes; ++m) {
    if (m < normals.size() && !normals[m].empty()) {
      // The conversion exchanges y and z, as for the positions.
      const float sign = reversed[m] ? -1.0f : 1.0f;
      given.clear();
      for (const H3dsVert& n : normals[m]) given.push_back({sign * n.x, sign * n.z, sign * n.y});
      model.OutGLSetVertexNormals(first, given);
    }
    first += vertices[m];
  }
  return model;
}

}  // namespace torvik
