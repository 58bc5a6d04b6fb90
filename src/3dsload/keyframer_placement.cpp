// The keyframer's placement at frame 0: each node's matrix from its parent's
// and its own first keys, and where it draws the mesh it names.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "affine.h"
#include "node_dependencies.h"
#include "node_poses.h"
#include "torvik32c/3dsload.h"

namespace torvik {

namespace {

constexpr uword kNoParent = 0xFFFF;

// The mesh's local axes and origin (0x4160: the x, y and z axes, then the
// origin), taking local coordinates to the file's.
Affine MeshMatrix(const H3dsMeshObj& mesh) {
  if (mesh.matrix == 0) return IdentityAffine();
  const float32* t = mesh.TraMatrix;
  return {t[0], t[3], t[6], t[9], t[1], t[4], t[7], t[10], t[2], t[5], t[8], t[11]};
}

bool Finite(std::initializer_list<float32> values) {
  for (const float32 value : values)
    if (!std::isfinite(value)) return false;
  return true;
}

constexpr float32 kOrigin[3] = {0, 0, 0};

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
      warnings_.push_back(NodeText(node, names_) +
                          " has values that are not finite numbers in its " + parts + ", which " +
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

ScenePlacement PlaceSceneWith(const H3dsScene& scene, const NameDecoder& names,
                              const std::function<NodePose(std::size_t node)>& pose_of) {
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
    // Parents before their children: the unplaced ancestors first.
    for (std::size_t first = 0; first < nodes.size(); ++first) {
      chain.clear();
      for (int n = static_cast<int>(first); n != -1 && placed[static_cast<std::size_t>(n)] == -1;
           n = parents[static_cast<std::size_t>(n)])
        chain.push_back(static_cast<std::size_t>(n));
      for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        NodePlacement& out = placement.nodes.emplace_back();
        out.node = *it;
        out.parent = parents[*it] == -1 ? -1 : placed[static_cast<std::size_t>(parents[*it])];
        placed[*it] = static_cast<int>(placement.nodes.size() - 1);
      }
    }
    // The matrices, in an order where a camera finds its target's place.
    const NodeDependencies dependencies = DependenciesOf(nodes, parents);
    std::vector<NodePose> poses(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) poses[i] = pose_of(i);
    std::vector<Affine> worlds(nodes.size(), IdentityAffine());
    for (const std::size_t i : dependencies.order) {
      const int target = dependencies.targets[i];
      NodePlacement& out = placement.nodes[static_cast<std::size_t>(placed[i])];
      out.local = LocalOf(nodes, dependencies, i, poses[i],
                          target < 0 ? nullptr : &poses[static_cast<std::size_t>(target)], worlds);
      worlds[i] =
          parents[i] == -1 ? out.local : worlds[static_cast<std::size_t>(parents[i])] * out.local;
      out.world = worlds[i];
    }
    if (dependencies.unaimed > 0)
      placement.warnings.push_back(
          std::to_string(dependencies.unaimed) +
          (dependencies.unaimed == 1 ? " camera or spotlight whose target hangs below it is"
                                     : " cameras or spotlights whose targets hang below them are") +
          " not turned towards " + (dependencies.unaimed == 1 ? "it" : "them"));
    IgnoredValues ignored(names);
    // Nodes that would draw their mesh beyond what a float holds.
    std::size_t overflowing = 0;
    std::string first_overflowing;
    std::vector<std::optional<Box>> boxes(scene.meshobjlist.size());
    for (NodePlacement& out : placement.nodes) {
      const H3dsNode& node = nodes[out.node];
      out.name = node.instance.empty() ? node.name : node.instance;
      out.hidden = poses[out.node].hidden;
      ignored.Note(node);
      out.mesh_placement = IdentityAffine();
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

ScenePlacement PlaceScene(const H3dsScene& scene, const NameDecoder& names) {
  return PlaceSceneWith(scene, names,
                        [&](std::size_t node) { return FirstKeyPose(scene.nodes[node]); });
}

}  // namespace torvik
