// The keyframer's placement at frame 0: each node's matrix from its parent's
// and its own first keys, and where it draws the mesh it names.
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "affine.h"
#include "torvik32c/3dsload.h"

namespace torvik {

namespace {

constexpr uword kNoParent = 0xFFFF;

// The stored angle turns the other way round from the rotation the node
// makes: with this sign, a node at the edit pose gives back the stored
// vertices.
constexpr double kRotationSign = -1;

// The mesh's local axes and origin (0x4160: the x, y and z axes, then the
// origin), taking local coordinates to the file's.
Affine MeshMatrix(const H3dsMeshObj& mesh) {
  if (mesh.matrix == 0) return IdentityAffine();
  const float32* t = mesh.TraMatrix;
  return {t[0], t[3], t[6], t[9], t[1], t[4], t[7], t[10], t[2], t[5], t[8], t[11]};
}

constexpr uword kCameraNode = 0xB003;
constexpr uword kSpotlightNode = 0xB007;
constexpr double kPi = 3.14159265358979323846;

// The node that a camera or spotlight looks at: the next node of its name
// that is its target, or -1.
int TargetOf(const std::vector<H3dsNode>& nodes, std::size_t i) {
  const uword kind = nodes[i].kind;
  if (kind != kCameraNode && kind != kSpotlightNode) return -1;
  const uword target_kind = kind == kCameraNode ? kCameraNode + 1 : kSpotlightNode - 1;
  for (std::size_t t = i + 1; t < nodes.size(); ++t)
    if (nodes[t].kind == target_kind && nodes[t].name == nodes[i].name) return static_cast<int>(t);
  return -1;
}

// Looking from `eye` at `target`: the local -z axis along the view, y up
// (towards the file's z), then rolled about the view by `roll` degrees.
Affine LookAt(const float32 (&eye)[3], const float32 (&target)[3], double roll) {
  double d[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
  const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (!(length > 0) || !std::isfinite(length)) return IdentityAffine();
  for (double& x : d) x /= length;
  // right = d x up, with up the z axis unless the view is along it.
  double up[3] = {0, 0, 1};
  if (std::fabs(d[2]) > 0.999999) up[1] = 1, up[2] = 0;
  double r[3] = {d[1] * up[2] - d[2] * up[1], d[2] * up[0] - d[0] * up[2],
                 d[0] * up[1] - d[1] * up[0]};
  const double rl = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
  for (double& x : r) x /= rl;
  const double u[3] = {r[1] * d[2] - r[2] * d[1], r[2] * d[0] - r[0] * d[2],
                       r[0] * d[1] - r[1] * d[0]};
  const Affine view = {r[0], u[0], -d[0], 0, r[1], u[1], -d[1], 0, r[2], u[2], -d[2], 0};
  return view * Rotation(roll * kPi / 180, 0, 0, -1);
}

Affine LocalMatrix(const std::vector<H3dsNode>& nodes, std::size_t i) {
  const H3dsNode& node = nodes[i];
  Affine local = IdentityAffine();
  if (node.has_position) local = Translation(node.position[0], node.position[1], node.position[2]);
  if (node.kind != kObjectNodeChunk) {
    const int target = TargetOf(nodes, i);
    if (target != -1)
      local = local * LookAt(node.position, nodes[static_cast<std::size_t>(target)].position,
                             node.has_roll ? node.roll : 0.0);
    return local;
  }
  if (node.has_rotation)
    local = local * Rotation(kRotationSign * node.rotation_angle, node.rotation_axis[0],
                             node.rotation_axis[1], node.rotation_axis[2]);
  if (node.has_scale) local = local * Scaling(node.scale[0], node.scale[1], node.scale[2]);
  return local;
}

std::string NodeText(const H3dsNode& node, const NameDecoder& names) {
  return "node " + std::to_string(node.id) + " ('" + ShownName(node.name, names) + "')";
}

// Why the nodes can't be placed, or "".  `parents` gets each node's parent
// index (-1 for a root).
std::string CheckHierarchy(const std::vector<H3dsNode>& nodes, const NameDecoder& names,
                           std::vector<int>& parents) {
  std::unordered_map<uword, int> by_id;
  for (std::size_t i = 0; i < nodes.size(); ++i)
    if (!by_id.emplace(nodes[i].id, static_cast<int>(i)).second)
      return "two nodes have the id " + std::to_string(nodes[i].id);
  parents.assign(nodes.size(), -1);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].parent == kNoParent) continue;
    const auto found = by_id.find(nodes[i].parent);
    if (found == by_id.end())
      return NodeText(nodes[i], names) + " names the parent " + std::to_string(nodes[i].parent) +
             ", which does not exist";
    parents[i] = found->second;
  }
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    std::size_t steps = 0;
    for (int p = parents[i]; p != -1; p = parents[static_cast<std::size_t>(p)])
      if (++steps > nodes.size()) return NodeText(nodes[i], names) + " is its own ancestor";
  }
  return "";
}

}  // namespace

ScenePlacement PlaceScene(const H3dsScene& scene, const NameDecoder& names) {
  ScenePlacement placement;
  placement.warnings = scene.keyframer_warnings;
  const std::vector<H3dsNode>& nodes = scene.nodes;
  std::vector<int> parents;
  std::vector<bool> named(scene.meshobjlist.size(), false);
  const std::string fault = CheckHierarchy(nodes, names, parents);
  if (!fault.empty()) {
    placement.warnings.push_back("the keyframer is ignored: " + fault);
  } else {
    // The first mesh of each name is the one that nodes name.
    std::unordered_map<std::string, int> mesh_by_name;
    for (std::size_t m = 0; m < scene.meshobjlist.size(); ++m)
      mesh_by_name.emplace(scene.meshobjlist[m].name, static_cast<int>(m));
    std::vector<int> placed(nodes.size(), -1);  // index into placement.nodes
    std::vector<bool> singular_warned(scene.meshobjlist.size(), false);
    std::vector<std::size_t> chain;
    for (std::size_t first = 0; first < nodes.size(); ++first) {
      // Parents before their children: the unplaced ancestors first.
      chain.clear();
      for (int n = static_cast<int>(first); n != -1 && placed[static_cast<std::size_t>(n)] == -1;
           n = parents[static_cast<std::size_t>(n)])
        chain.push_back(static_cast<std::size_t>(n));
      for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const H3dsNode& node = nodes[*it];
        NodePlacement& out = placement.nodes.emplace_back();
        out.node = *it;
        out.parent = parents[*it] == -1 ? -1 : placed[static_cast<std::size_t>(parents[*it])];
        out.name = node.instance.empty() ? node.name : node.instance;
        out.local = LocalMatrix(nodes, *it);
        out.world = out.parent == -1
                        ? out.local
                        : placement.nodes[static_cast<std::size_t>(out.parent)].world * out.local;
        out.mesh_placement = IdentityAffine();
        placed[*it] = static_cast<int>(placement.nodes.size() - 1);
        const auto mesh = node.kind != kObjectNodeChunk || node.name == kDummyNodeName
                              ? mesh_by_name.end()
                              : mesh_by_name.find(node.name);
        if (mesh == mesh_by_name.end()) continue;
        const std::size_t m = static_cast<std::size_t>(mesh->second);
        out.mesh = mesh->second;
        named[m] = true;
        Affine inverse;
        if (Invert(MeshMatrix(scene.meshobjlist[m]), inverse)) {
          out.mesh_placement =
              out.world * Translation(-node.pivot[0], -node.pivot[1], -node.pivot[2]) * inverse;
        } else if (!singular_warned[m]) {
          singular_warned[m] = true;
          placement.warnings.push_back("mesh '" + ShownName(node.name, names) +
                                       "' has a singular matrix: its stored vertices are kept");
        }
      }
    }
  }
  for (std::size_t m = 0; m < named.size(); ++m)
    if (!named[m]) placement.unplaced_meshes.push_back(m);
  return placement;
}

}  // namespace torvik
