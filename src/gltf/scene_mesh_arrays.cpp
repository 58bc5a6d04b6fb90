#include "scene_mesh_arrays.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "affine.h"

namespace torvik::gltf_build {

MeshArrays SceneMeshArrays(const H3dsScene& scene, std::size_t mesh, const Affine& frame,
                           bool reverse,
                           const std::unordered_map<std::string, std::size_t>& first_material) {
  // A scene of this mesh alone and the materials it names, which the
  // conversion finishes with smoothing groups.
  H3dsScene one;
  one.meshobjlist.push_back(scene.meshobjlist[mesh]);
  H3dsMeshObj& copy = one.meshobjlist.front();
  for (H3dsVert& vert : copy.vertlist) {
    const double stored[3] = {vert.x, vert.y, vert.z};
    double p[3];
    Apply(frame, stored, p);
    vert = {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
  }
  if ((Determinant(frame) < 0) != reverse)
    for (H3dsFace& face : copy.facelist) std::swap(face.p1, face.p2);
  std::vector<int> scene_material;  // of each material of `one`
  for (const H3dsMatList& binding : copy.bindings) {
    if (binding.name == kDefaultMaterialName)
      one.defaultmaterialwarning = scene.defaultmaterialwarning;
    const auto found = first_material.find(binding.name);
    if (found == first_material.end()) continue;
    const int index = static_cast<int>(found->second);
    if (std::find(scene_material.begin(), scene_material.end(), index) != scene_material.end())
      continue;
    scene_material.push_back(index);
    one.material.push_back(scene.material[found->second]);
  }
  ConversionStats stats;
  const Model model =
      convert_to_outgl(std::move(one), &stats, {.smoothing_groups = true, .threads = 1});
  if (stats.default_material_added) scene_material.insert(scene_material.begin(), -1);

  std::vector<MeshPart> parts;
  for (std::size_t m = 0; m < model.NumPolyLists(); ++m) {
    const POLYGONLIST& list = model.PolyList()[m];
    // A two-sided material's reversed copies are left out: the glTF
    // material is double-sided instead.
    const std::size_t step = list.doublesided != 0 ? 2 : 1;
    MeshPart part{scene_material[m], {}};
    for (std::size_t t = 0; t < list.TriangleIndexList.size(); t += step) {
      const SURFACE& s = list.TriangleIndexList[t];
      part.indices.insert(part.indices.end(), {s.p0, s.p2, s.p1});
    }
    parts.push_back(std::move(part));
  }
  return ArraysOfModelMesh(model.VertexList(), std::move(parts));
}

MeshArrays ArraysOfModelMesh(std::span<const VERTEX> vertices, std::vector<MeshPart> parts) {
  // The model has the file's y and z exchanged and every face reversed: back
  // to the file's winding, in glTF's axes (x, z, -y).
  MeshArrays arrays;
  arrays.vertices.positions.reserve(3 * vertices.size());
  arrays.vertices.normals.reserve(3 * vertices.size());
  arrays.vertices.texcoords.reserve(2 * vertices.size());
  for (const VERTEX& v : vertices) {
    arrays.vertices.Add({v.x, v.y, -v.z}, {v.nx, v.ny, -v.nz}, v.u, v.v);
    for (const float c : {v.x, v.y, v.z})
      if (std::isfinite(c))
        arrays.extent = std::max(arrays.extent, std::fabs(static_cast<double>(c)));
  }
  std::vector<std::uint32_t> all;
  std::size_t corners = 0;
  for (const MeshPart& part : parts) corners += part.indices.size();
  all.reserve(corners);
  for (MeshPart& part : parts) {
    if (part.indices.empty()) continue;
    all.insert(all.end(), part.indices.begin(), part.indices.end());
    arrays.parts.push_back(std::move(part));
  }
  UnitNormals(arrays.vertices, all);
  return arrays;
}

}  // namespace torvik::gltf_build
