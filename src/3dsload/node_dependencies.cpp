// The order of a frame's node matrices, and the views of cameras and
// spotlights whose targets hang from other parents.
#include "node_dependencies.h"

#include <functional>
#include <queue>

#include "affine.h"

namespace torvik {

std::vector<int> StoredParents(const H3dsScene& scene, const ScenePlacement& placement) {
  std::vector<int> parents(scene.nodes.size(), -1);
  for (const NodePlacement& node : placement.nodes)
    if (node.parent >= 0 && node.node < parents.size())
      parents[node.node] =
          static_cast<int>(placement.nodes[static_cast<std::size_t>(node.parent)].node);
  return parents;
}

NodeDependencies DependenciesOf(const std::vector<H3dsNode>& nodes, std::vector<int> parents) {
  NodeDependencies d;
  d.parents = std::move(parents);
  d.targets = TargetsOf(nodes);
  const std::size_t count = nodes.size();
  // Kahn's order over the edges parent -> child and target's parent ->
  // node, the lowest index first among those ready.
  std::vector<std::vector<std::size_t>> after(count);
  std::vector<std::size_t> waiting(count, 0);
  const auto edge = [&](int from, std::size_t to) {
    if (from < 0) return;
    after[static_cast<std::size_t>(from)].push_back(to);
    ++waiting[to];
  };
  for (std::size_t i = 0; i < count; ++i) {
    edge(d.parents[i], i);
    if (d.LooksAcross(i)) edge(d.TargetParent(i), i);
  }
  std::priority_queue<std::size_t, std::vector<std::size_t>, std::greater<>> ready;
  for (std::size_t i = 0; i < count; ++i)
    if (waiting[i] == 0) ready.push(i);
  std::vector<bool> done(count, false);
  std::size_t next_unblocked = 0;
  while (d.order.size() < count) {
    if (ready.empty()) {
      // A loop: the first waiting node whose target's parent is not placed
      // yet stops looking at it.
      while (next_unblocked < count &&
             (done[next_unblocked] || !d.LooksAcross(next_unblocked) ||
              done[static_cast<std::size_t>(d.TargetParent(next_unblocked))]))
        ++next_unblocked;
      if (next_unblocked == count) break;  // no loop through a target: cannot happen
      const std::size_t node = next_unblocked;
      d.targets[node] = -1;
      ++d.unaimed;
      if (--waiting[node] == 0) ready.push(node);
      continue;
    }
    const std::size_t node = ready.top();
    ready.pop();
    done[node] = true;
    d.order.push_back(node);
    for (const std::size_t next : after[node])
      if (--waiting[next] == 0 && !done[next]) ready.push(next);
  }
  return d;
}

std::optional<std::array<double, 3>> ViewOf(const NodePose& pose, const NodePose& target,
                                            bool across, const Affine* parent_world,
                                            const Affine* target_parent_world) {
  if (!across) return DirectionTo(pose.position, target.position);
  double p[3] = {target.position[0], target.position[1], target.position[2]};
  double q[3];
  if (target_parent_world != nullptr) {
    Apply(*target_parent_world, p, q);
    for (int i = 0; i < 3; ++i) p[i] = q[i];
  }
  if (parent_world != nullptr) {
    Affine inverse;
    if (!Invert(*parent_world, inverse)) return std::nullopt;
    Apply(inverse, p, q);
    for (int i = 0; i < 3; ++i) p[i] = q[i];
  }
  return std::array<double, 3>{p[0] - pose.position[0], p[1] - pose.position[1],
                               p[2] - pose.position[2]};
}

Affine LocalOf(const std::vector<H3dsNode>& nodes, const NodeDependencies& dependencies,
               std::size_t node, const NodePose& pose, const NodePose* target_pose,
               const std::vector<Affine>& worlds) {
  std::optional<std::array<double, 3>> view;
  if (target_pose != nullptr && !dependencies.LooksAcross(node)) {
    view = ViewOf(pose, *target_pose, false, nullptr, nullptr);
  } else if (target_pose != nullptr) {
    const int parent = dependencies.parents[node];
    const int target_parent = dependencies.TargetParent(node);
    view = ViewOf(pose, *target_pose, true,
                  parent < 0 ? nullptr : &worlds[static_cast<std::size_t>(parent)],
                  target_parent < 0 ? nullptr : &worlds[static_cast<std::size_t>(target_parent)]);
  }
  return LocalMatrix(nodes[node], pose, view);
}

}  // namespace torvik
