// The order in which a frame's node matrices are made: each node after its
// parent, and a camera or spotlight whose target hangs from another parent
// after that parent, since it looks at where the target stands in the
// world.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "node_poses.h"
#include "torvik32c/3dsload.h"

namespace torvik {

// Indices are those of H3dsScene::nodes.
struct NodeDependencies {
  std::vector<int> parents;  // -1 for a root
  // TargetsOf, less those of cameras and spotlights whose target hangs
  // below them (directly or through other such nodes): those are not aimed.
  std::vector<int> targets;
  // Every node, each after its parent and after its target's parent when
  // that is another parent than its own; otherwise in file order.
  std::vector<std::size_t> order;
  std::size_t unaimed = 0;  // the targets dropped

  // Whether the node looks at a target of another parent: its view needs
  // the two parents' world matrices.
  bool LooksAcross(std::size_t node) const {
    const int target = targets[node];
    return target >= 0 && parents[static_cast<std::size_t>(target)] != parents[node];
  }
  // The parent of the node's target, or -1.
  int TargetParent(std::size_t node) const {
    const int target = targets[node];
    return target < 0 ? -1 : parents[static_cast<std::size_t>(target)];
  }
};

// Each stored node's parent as the placement has it (-1 for every node of
// an ignored keyframer).
std::vector<int> StoredParents(const H3dsScene& scene, const ScenePlacement& placement);

// `parents` must form no cycle (CheckHierarchy's).
NodeDependencies DependenciesOf(const std::vector<H3dsNode>& nodes, std::vector<int> parents);

// The view of a node that looks at `target` (its pose), in the node's
// parent's frame: the difference of the two positions when they share a
// parent, else the target's world position (through its parent's world
// matrix; none for a root) seen from the node's parent (the inverse of its
// world matrix; none for a root).  None when that parent is singular.
std::optional<std::array<double, 3>> ViewOf(const NodePose& pose, const NodePose& target,
                                            bool across, const Affine* parent_world,
                                            const Affine* target_parent_world);

// The node's local matrix at a frame where `poses` hold the nodes' poses
// and `worlds` the world matrices of the nodes placed before it.
Affine LocalOf(const std::vector<H3dsNode>& nodes, const NodeDependencies& dependencies,
               std::size_t node, const NodePose& pose, const NodePose* target_pose,
               const std::vector<Affine>& worlds);

}  // namespace torvik
