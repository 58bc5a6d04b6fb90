// The keyframer's placement at frame 0: each node's matrix from its parent's
// and its own first keys, and where it draws the mesh it names.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
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

// For each node, the node it looks at, or -1: for a camera or spotlight the
// next node of its name that is its target.
std::vector<int> TargetsOf(const std::vector<H3dsNode>& nodes) {
  constexpr uword kCameraTarget = kCameraNode + 1, kSpotlightTarget = kSpotlightNode - 1;
  std::vector<int> targets(nodes.size(), -1);
  // From the last node back: the nearest target of each name after a node.
  std::unordered_map<std::string_view, int> camera_targets, spotlight_targets;
  for (std::size_t i = nodes.size(); i-- > 0;) {
    const H3dsNode& node = nodes[i];
    const int index = static_cast<int>(i);
    auto* seen = node.kind == kCameraNode      ? &camera_targets
                 : node.kind == kSpotlightNode ? &spotlight_targets
                                               : nullptr;
    if (seen != nullptr) {
      const auto found = seen->find(node.name);
      if (found != seen->end()) targets[i] = found->second;
    } else if (node.kind == kCameraTarget) {
      camera_targets.insert_or_assign(node.name, index);
    } else if (node.kind == kSpotlightTarget) {
      spotlight_targets.insert_or_assign(node.name, index);
    }
  }
  return targets;
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

bool Finite(std::initializer_list<float32> values) {
  for (const float32 value : values)
    if (!std::isfinite(value)) return false;
  return true;
}

// The parts of a node that hold only finite numbers: a track or pivot with
// a NaN or an infinity is ignored, as if the node had none.
struct UsableParts {
  bool pivot, position, rotation, scale, roll;

  explicit UsableParts(const H3dsNode& node)
      : pivot(Finite({node.pivot[0], node.pivot[1], node.pivot[2]})),
        position(Finite({node.position[0], node.position[1], node.position[2]})),
        rotation(Finite({node.rotation_angle, node.rotation_axis[0], node.rotation_axis[1],
                         node.rotation_axis[2]})),
        scale(Finite({node.scale[0], node.scale[1], node.scale[2]})),
        roll(Finite({node.roll})) {}

  // "pivot and scale track": the parts ignored, or "".
  std::string Ignored(const H3dsNode& node) const {
    std::vector<const char*> parts;
    if (!pivot) parts.push_back("pivot");
    if (node.has_position && !position) parts.push_back("position track");
    if (node.has_rotation && !rotation) parts.push_back("rotation track");
    if (node.has_scale && !scale) parts.push_back("scale track");
    if (node.has_roll && !roll) parts.push_back("roll track");
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
      text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + std::string(parts[i]);
    return text;
  }
};

constexpr float32 kOrigin[3] = {0, 0, 0};

// Where the node stands: its position, when it has a usable one.
const float32 (&PositionOf(const H3dsNode& node))[3] {
  return node.has_position && UsableParts(node).position ? node.position : kOrigin;
}

Affine LocalMatrix(const std::vector<H3dsNode>& nodes, std::size_t i, int target) {
  const H3dsNode& node = nodes[i];
  const UsableParts usable(node);
  const float32(&position)[3] = PositionOf(node);
  Affine local = Translation(position[0], position[1], position[2]);
  if (node.kind != kObjectNodeChunk) {
    if (target != -1)
      local = local * LookAt(position, PositionOf(nodes[static_cast<std::size_t>(target)]),
                             node.has_roll && usable.roll ? node.roll : 0.0);
    return local;
  }
  if (node.has_rotation && usable.rotation)
    local = local * Rotation(kRotationSign * node.rotation_angle, node.rotation_axis[0],
                             node.rotation_axis[1], node.rotation_axis[2]);
  if (node.has_scale && usable.scale)
    local = local * Scaling(node.scale[0], node.scale[1], node.scale[2]);
  return local;
}

std::string NodeText(const H3dsNode& node, const NameDecoder& names) {
  return "node " + std::to_string(node.id) + " ('" + ShownName(node.name, names) + "')";
}

// Why the nodes can't be placed, or "".  `parents` gets each node's parent
// index (-1 for a root).  Linear in the nodes, however deep they hang.
std::string CheckHierarchy(const std::vector<H3dsNode>& nodes, const NameDecoder& names,
                           std::vector<int>& parents) {
  std::vector<int> by_id(std::size_t{1} << 16, -1);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    int& index = by_id[nodes[i].id];
    if (index != -1) return "two nodes have the id " + std::to_string(nodes[i].id);
    index = static_cast<int>(i);
  }
  parents.assign(nodes.size(), -1);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].parent == kNoParent) continue;
    parents[i] = by_id[nodes[i].parent];
    if (parents[i] == -1)
      return NodeText(nodes[i], names) + " names the parent " + std::to_string(nodes[i].parent) +
             ", which does not exist";
  }
  // Each node has one parent at most, so a walk up from a node either ends
  // at a root, or at a node walked before, or comes back onto itself: a
  // cycle.  Every node is walked over once.
  enum : std::uint8_t { kUnseen, kOnWalk, kDone };
  std::vector<std::uint8_t> state(nodes.size(), kUnseen);
  std::vector<int> walk;
  std::size_t first_in_cycle = nodes.size();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    walk.clear();
    int p = static_cast<int>(i);
    for (; p != -1 && state[static_cast<std::size_t>(p)] == kUnseen;
         p = parents[static_cast<std::size_t>(p)]) {
      state[static_cast<std::size_t>(p)] = kOnWalk;
      walk.push_back(p);
    }
    if (p != -1 && state[static_cast<std::size_t>(p)] == kOnWalk) {
      // The walk came back to p: p and the nodes after it form the cycle.
      for (auto n = walk.rbegin(); n != walk.rend(); ++n) {
        first_in_cycle = std::min(first_in_cycle, static_cast<std::size_t>(*n));
        if (*n == p) break;
      }
    }
    for (const int n : walk) state[static_cast<std::size_t>(n)] = kDone;
  }
  if (first_in_cycle < nodes.size())
    return NodeText(nodes[first_in_cycle], names) + " is its own ancestor";
  return "";
}

// The box that holds a mesh's finite stored vertices: low, then high.
using Box = std::array<double, 6>;

Box BoxOf(const H3dsMeshObj& mesh) {
  Box box = {0, 0, 0, 0, 0, 0};
  bool any = false;
  for (const H3dsVert& v : mesh.vertlist) {
    const double p[3] = {v.x, v.y, v.z};
    if (!Finite({v.x, v.y, v.z})) continue;
    for (int i = 0; i < 3; ++i) {
      box[i] = any ? std::min(box[i], p[i]) : p[i];
      box[i + 3] = any ? std::max(box[i + 3], p[i]) : p[i];
    }
    any = true;
  }
  return box;
}

// Whether `m` takes every point of `box` to one that a float holds: the
// corners, which bound every other point, say.
bool KeepsInRange(const Affine& m, const Box& box) {
  for (const double value : m)
    if (!std::isfinite(value)) return false;
  for (int corner = 0; corner < 8; ++corner) {
    const double p[3] = {box[(corner & 1) ? 3 : 0], box[(corner & 2) ? 4 : 1],
                         box[(corner & 4) ? 5 : 2]};
    double q[3];
    Apply(m, p, q);
    for (const double x : q)
      if (!(std::fabs(x) <= std::numeric_limits<float32>::max())) return false;
  }
  return true;
}

// Warns of the nodes whose tracks or pivots were ignored: each of the
// first few by name, the others counted.
class IgnoredValues {
 public:
  explicit IgnoredValues(const NameDecoder& names) : names_(names) {}

  void Note(const H3dsNode& node) {
    const std::string parts = UsableParts(node).Ignored(node);
    if (parts.empty()) return;
    if (++count_ <= kNamed)
      warnings_.push_back(NodeText(node, names_) + " has values that are not finite numbers in its " +
                          parts + ", which " +
                          (parts.find(" and ") == std::string::npos ? "is" : "are") + " ignored");
  }
  void AddTo(std::vector<std::string>& warnings) {
    warnings.insert(warnings.end(), warnings_.begin(), warnings_.end());
    if (count_ > kNamed)
      warnings.push_back(std::to_string(count_ - kNamed) +
                         " more nodes have values that are not finite numbers, ignored alike");
  }

 private:
  static constexpr std::size_t kNamed = 10;
  const NameDecoder& names_;
  std::size_t count_ = 0;
  std::vector<std::string> warnings_;
};

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
    const std::vector<int> targets = TargetsOf(nodes);
    IgnoredValues ignored(names);
    // Nodes that would draw their mesh beyond what a float holds.
    std::size_t overflowing = 0;
    std::string first_overflowing;
    std::vector<std::optional<Box>> boxes(scene.meshobjlist.size());
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
        out.local = LocalMatrix(nodes, *it, targets[*it]);
        ignored.Note(node);
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
        const float32(&pivot)[3] = UsableParts(node).pivot ? node.pivot : kOrigin;
        Affine inverse;
        if (!Invert(MeshMatrix(scene.meshobjlist[m]), inverse)) {
          if (!singular_warned[m])
            placement.warnings.push_back("mesh '" + ShownName(node.name, names) +
                                         "' has a singular matrix: its stored vertices are kept");
          singular_warned[m] = true;
          continue;
        }
        const Affine drawn = out.world * Translation(-pivot[0], -pivot[1], -pivot[2]) * inverse;
        if (!boxes[m]) boxes[m] = BoxOf(scene.meshobjlist[m]);
        if (KeepsInRange(drawn, *boxes[m])) {
          out.mesh_placement = drawn;
        } else {
          ++overflowing;
          if (overflowing == 1) first_overflowing = NodeText(node, names);
        }
      }
    }
    ignored.AddTo(placement.warnings);
    if (overflowing > 0)
      placement.warnings.push_back(
          first_overflowing +
          (overflowing > 1 ? " and " + std::to_string(overflowing - 1) + " more nodes" : "") +
          " would draw " + (overflowing > 1 ? "their meshes" : "its mesh") +
          " beyond the numbers a float holds: the stored vertices are kept");
  }
  for (std::size_t m = 0; m < named.size(); ++m)
    if (!named[m]) placement.unplaced_meshes.push_back(m);
  return placement;
}

}  // namespace torvik
