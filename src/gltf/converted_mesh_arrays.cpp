// A scene mesh's arrays from the BMF's model, where that conversion made
// exactly what the scene export's own would: the same vertices, the same
// triangles in the same order, normals summed alike.
#include <algorithm>
#include <cstring>
#include <utility>

#include "affine.h"
#include "scene_mesh_arrays.h"

namespace torvik::gltf_build {

namespace {

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Whether the export would store the mesh's vertices as the model's
// `vertices` (the file's y and z exchanged): frame · v rounded to floats,
// bit for bit, with the same texture coordinates.
bool SameVertices(const H3dsMeshObj& mesh, const Affine& frame, std::span<const VERTEX> vertices) {
  for (std::size_t i = 0; i < mesh.vertlist.size(); ++i) {
    const H3dsVert& vert = mesh.vertlist[i];
    const double stored[3] = {vert.x, vert.y, vert.z};
    double p[3];
    Apply(frame, stored, p);
    const VERTEX& v = vertices[i];
    const H3dsMap map = i < mesh.maplist.size() ? mesh.maplist[i] : H3dsMap{0, 0};
    if (!SameBits(v.x, static_cast<float>(p[0])) || !SameBits(v.y, static_cast<float>(p[2])) ||
        !SameBits(v.z, static_cast<float>(p[1])) || !SameBits(v.u, map.u) || !SameBits(v.v, map.v))
      return false;
  }
  return true;
}

// Whether the mesh's faces are smoothed together: no smoothing groups, or
// every face in the same groups.
bool OneSmoothingGroup(const H3dsMeshObj& mesh) {
  for (const dword mask : mesh.smoothing)
    if (mask == 0 || mask != mesh.smoothing.front()) return false;
  return true;
}

// Whether the materials the mesh names come in the scene's order, so that
// a model of the mesh alone orders them as the whole scene's model does.
bool MaterialsInSceneOrder(const H3dsMeshObj& mesh,
                           const std::unordered_map<std::string, std::size_t>& first_material) {
  if (first_material.contains(kDefaultMaterialName)) return false;
  bool any = false;
  std::size_t last = 0;
  for (const H3dsMatList& binding : mesh.bindings) {
    const auto found = first_material.find(binding.name);
    if (found == first_material.end()) continue;  // the default material's, first in both
    if (any && found->second < last) return false;
    last = found->second;
    any = true;
  }
  return true;
}

// The mesh's triangles by material, numbered from its first vertex, with
// the model's materials as the scene's; none unless they use every vertex
// of the mesh and no other.
std::optional<std::vector<MeshPart>> PartsOf(const ConvertedMeshes& converted,
                                             const ConvertedMeshes::Mesh& mesh) {
  const std::size_t first = mesh.first_vertex, count = mesh.vertex_count;
  std::vector<bool> used(count, false);
  std::vector<MeshPart> parts;
  for (const ConvertedMeshes::Run& run : mesh.runs) {
    const std::vector<SURFACE>& entries =
        converted.model->PolyList()[run.material].TriangleIndexList;
    // The model's material 0 is the default one the scene lacks.
    const int material = static_cast<int>(run.material) - (converted.default_material ? 1 : 0);
    MeshPart part{material, {}};
    part.indices.reserve((run.to - run.from) / run.step * 3);
    for (std::size_t t = run.from; t < run.to; t += run.step) {
      const SURFACE& s = entries[t];
      // The model reverses the file's winding along with its change of axes.
      for (const dword corner : {s.p0, s.p2, s.p1}) {
        if (corner < first || corner - first >= count) return std::nullopt;
        used[corner - first] = true;
        part.indices.push_back(static_cast<std::uint32_t>(corner - first));
      }
    }
    parts.push_back(std::move(part));
  }
  if (std::find(used.begin(), used.end(), false) != used.end()) return std::nullopt;
  return parts;
}

}  // namespace

std::optional<MeshArrays> ConvertedMeshArrays(
    const H3dsScene& scene, std::size_t m, const Affine& frame, bool reverse,
    const std::unordered_map<std::string, std::size_t>& first_material,
    ConvertedMeshes& converted) {
  if (!converted.model || converted.meshes.size() != scene.meshobjlist.size()) return std::nullopt;
  ConvertedMeshes::Mesh& taken = converted.meshes[m];
  const H3dsMeshObj& mesh = scene.meshobjlist[m];
  if (taken.vertex_count != mesh.vertlist.size() || (Determinant(frame) < 0) != reverse ||
      !OneSmoothingGroup(mesh) || !MaterialsInSceneOrder(mesh, first_material))
    return std::nullopt;
  if (!converted.file_winding)
    for (const H3dsFace& face : mesh.facelist)
      if (face.flags == kSwappedFaceFlags) return std::nullopt;
  const std::span<const VERTEX> vertices =
      std::span(converted.model->VertexList()).subspan(taken.first_vertex, taken.vertex_count);
  if (!SameVertices(mesh, frame, vertices)) return std::nullopt;
  std::optional<std::vector<MeshPart>> parts = PartsOf(converted, taken);
  if (!parts) return std::nullopt;
  taken.taken = true;
  return ArraysOfModelMesh(vertices, std::move(*parts));
}

}  // namespace torvik::gltf_build
