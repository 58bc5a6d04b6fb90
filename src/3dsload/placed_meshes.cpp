// The meshes where the keyframer draws them, and how far that is from where
// they are stored.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "affine.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/errors.h"

namespace torvik {

namespace {

// Relative to the stored model's bounding-box diagonal, the distance a
// vertex must move for its mesh to count as moved.
constexpr double kMovedFraction = 1e-4;

// For each mesh, the placements that draw it, in the nodes' file order.
std::vector<std::vector<const NodePlacement*>> DrawersByMesh(const H3dsScene& scene,
                                                             const ScenePlacement& placement) {
  std::vector<std::vector<const NodePlacement*>> drawers(scene.meshobjlist.size());
  for (const NodePlacement& node : placement.nodes)
    if (node.mesh >= 0 && static_cast<std::size_t>(node.mesh) < drawers.size())
      drawers[static_cast<std::size_t>(node.mesh)].push_back(&node);
  for (auto& list : drawers)
    std::sort(list.begin(), list.end(),
              [](const NodePlacement* a, const NodePlacement* b) { return a->node < b->node; });
  return drawers;
}

bool Finite(const H3dsVert& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

double StoredDiagonal(const H3dsScene& scene) {
  double low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
  bool any = false;
  for (const H3dsMeshObj& mesh : scene.meshobjlist) {
    for (const H3dsVert& v : mesh.vertlist) {
      if (!Finite(v)) continue;
      const double p[3] = {v.x, v.y, v.z};
      for (int i = 0; i < 3; ++i)
        low[i] = std::min(low[i], p[i]), high[i] = std::max(high[i], p[i]);
      any = true;
    }
  }
  if (!any) return 0;
  return std::sqrt((high[0] - low[0]) * (high[0] - low[0]) +
                   (high[1] - low[1]) * (high[1] - low[1]) +
                   (high[2] - low[2]) * (high[2] - low[2]));
}

bool Moves(const H3dsMeshObj& mesh, const Affine& placement, double tolerance) {
  for (const H3dsVert& v : mesh.vertlist) {
    if (!Finite(v)) continue;
    const double p[3] = {v.x, v.y, v.z};
    double q[3];
    Apply(placement, p, q);
    const double d = std::sqrt((q[0] - p[0]) * (q[0] - p[0]) + (q[1] - p[1]) * (q[1] - p[1]) +
                               (q[2] - p[2]) * (q[2] - p[2]));
    if (!(d <= tolerance)) return true;
  }
  return false;
}

H3dsMeshObj PlacedCopy(const H3dsMeshObj& mesh, const Affine& placement) {
  H3dsMeshObj copy = mesh;
  for (H3dsVert& v : copy.vertlist) {
    const double p[3] = {v.x, v.y, v.z};
    double q[3];
    Apply(placement, p, q);
    v = H3dsVert{static_cast<float32>(q[0]), static_cast<float32>(q[1]),
                 static_cast<float32>(q[2])};
  }
  if (Determinant(placement) < 0)
    for (H3dsFace& face : copy.facelist) std::swap(face.p1, face.p2);
  return copy;
}

}  // namespace

KeyframerEffect MeasureKeyframer(const H3dsScene& scene, const ScenePlacement& placement) {
  KeyframerEffect effect;
  for (const H3dsNode& node : scene.nodes) effect.nodes += node.kind == kObjectNodeChunk ? 1 : 0;
  if (placement.nodes.empty()) return effect;
  const double tolerance = kMovedFraction * StoredDiagonal(scene);
  const auto drawers = DrawersByMesh(scene, placement);
  for (std::size_t m = 0; m < drawers.size(); ++m) {
    if (drawers[m].empty()) continue;
    effect.instances += drawers[m].size() - 1;
    if (Moves(scene.meshobjlist[m], drawers[m].front()->mesh_placement, tolerance)) ++effect.moved;
  }
  return effect;
}

PlacedSize MeasurePlacedSize(const H3dsScene& scene, const ScenePlacement& placement) {
  std::vector<std::uint64_t> copies(scene.meshobjlist.size(), 0);
  for (const NodePlacement& node : placement.nodes)
    if (node.mesh >= 0 && static_cast<std::size_t>(node.mesh) < copies.size())
      ++copies[static_cast<std::size_t>(node.mesh)];
  PlacedSize size;
  for (std::size_t m = 0; m < copies.size(); ++m) {
    const std::uint64_t drawn = std::max<std::uint64_t>(copies[m], 1);
    size.faces += drawn * scene.meshobjlist[m].facelist.size();
    size.vertices += drawn * scene.meshobjlist[m].vertlist.size();
  }
  return size;
}

void DrawPlacedMeshes(H3dsScene& scene, const ScenePlacement& placement,
                      std::uint64_t max_placed_faces) {
  const PlacedSize placed = MeasurePlacedSize(scene, placement);
  PlacedSize stored;
  for (const H3dsMeshObj& mesh : scene.meshobjlist) {
    stored.faces += mesh.facelist.size();
    stored.vertices += mesh.vertlist.size();
  }
  if (placed.faces > std::max(max_placed_faces, stored.faces))
    throw PlacementTooLarge("faces", placed.faces, max_placed_faces);
  if (placed.vertices > std::max(max_placed_faces, stored.vertices))
    throw PlacementTooLarge("vertices", placed.vertices, max_placed_faces);
  const auto drawers = DrawersByMesh(scene, placement);
  std::vector<H3dsMeshObj> drawn;
  drawn.reserve(scene.meshobjlist.size());
  for (std::size_t m = 0; m < drawers.size(); ++m) {
    H3dsMeshObj& mesh = scene.meshobjlist[m];
    if (drawers[m].empty()) {
      drawn.push_back(std::move(mesh));
      continue;
    }
    for (const NodePlacement* node : drawers[m])
      if (!node->hidden) drawn.push_back(PlacedCopy(mesh, node->mesh_placement));
    mesh = H3dsMeshObj{};
  }
  scene.meshobjlist = std::move(drawn);
}

}  // namespace torvik
