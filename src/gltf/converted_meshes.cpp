#include "torvik32c/converted_meshes.h"

namespace torvik {

ConvertedMeshes ShareConvertedMeshes(Model&& model, std::span<const std::size_t> vertex_counts,
                                     bool default_material, bool file_winding) {
  ConvertedMeshes converted;
  const std::size_t meshes = vertex_counts.size();
  std::vector<std::size_t> first(meshes + 1, 0);
  for (std::size_t m = 0; m < meshes; ++m) first[m + 1] = first[m] + vertex_counts[m];
  if (first.back() != model.NumVertex()) return converted;
  converted.meshes.resize(meshes);
  for (std::size_t m = 0; m < meshes; ++m) {
    converted.meshes[m].first_vertex = first[m];
    converted.meshes[m].vertex_count = vertex_counts[m];
  }
  // Each material's triangles come mesh after mesh: one run per mesh.
  for (std::size_t k = 0; k < model.NumPolyLists(); ++k) {
    const POLYGONLIST& list = model.PolyList()[k];
    const std::size_t step = list.doublesided != 0 ? 2 : 1;
    const std::vector<SURFACE>& entries = list.TriangleIndexList;
    std::size_t m = 0;
    for (std::size_t t = 0; t < entries.size(); t += step) {
      const std::size_t corner = entries[t].p0;
      if (corner >= first.back() || corner < first[m]) return {};
      while (corner >= first[m + 1]) ++m;
      std::vector<ConvertedMeshes::Run>& runs = converted.meshes[m].runs;
      if (runs.empty() || runs.back().material != k) runs.push_back({k, t, t, step});
      runs.back().to = t + step;
    }
  }
  converted.default_material = default_material;
  converted.file_winding = file_winding;
  converted.model = std::make_unique<const Model>(std::move(model));
  return converted;
}

}  // namespace torvik
