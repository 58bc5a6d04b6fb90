#include "frame_poser.h"

#include <algorithm>

#include "affine.h"

namespace torvik {

FramePoser::FramePoser(const H3dsScene& scene, const ScenePlacement& placement)
    : scene_(scene),
      placement_(placement),
      dependencies_(DependenciesOf(scene.nodes, StoredParents(scene, placement))),
      curves_(NodeCurvesOf(scene)),
      rank_(scene.nodes.size()),
      collected_(scene.nodes.size(), 0),
      posed_(scene.nodes.size(), 0),
      poses_(scene.nodes.size()),
      locals_(scene.nodes.size()),
      worlds_(scene.nodes.size()),
      requested_locals_(scene.nodes.size()) {
  for (std::size_t i = 0; i < dependencies_.order.size(); ++i) rank_[dependencies_.order[i]] = i;
}

const NodePose& FramePoser::PoseOf(std::size_t stored, double frame) {
  if (posed_[stored] != stamp_) {
    poses_[stored] = curves_[stored].At(frame);
    posed_[stored] = stamp_;
  }
  return poses_[stored];
}

void FramePoser::Collect(const Request& request) {
  const std::size_t node = Stored(request.node);
  stack_.clear();
  const auto push = [&](int n) {
    if (n >= 0 && collected_[static_cast<std::size_t>(n)] != stamp_) {
      collected_[static_cast<std::size_t>(n)] = stamp_;
      stack_.push_back(static_cast<std::size_t>(n));
    }
  };
  if (request.world) {
    push(static_cast<int>(node));
  } else if (dependencies_.LooksAcross(node)) {
    push(dependencies_.parents[node]);
    push(dependencies_.TargetParent(node));
  }
  while (!stack_.empty()) {
    const std::size_t n = stack_.back();
    stack_.pop_back();
    order_.push_back(n);
    push(dependencies_.parents[n]);
    if (dependencies_.LooksAcross(n)) push(dependencies_.TargetParent(n));
  }
}

std::size_t FramePoser::CostAt(const std::vector<Request>& requests) {
  ++stamp_;
  order_.clear();
  for (const Request& request : requests) Collect(request);
  std::size_t locals = 0;
  for (const Request& request : requests) locals += request.world ? 0 : 1;
  return order_.size() + locals;
}

std::vector<std::size_t> FramePoser::TurningNodes(const std::vector<Request>& requests) {
  CostAt(requests);
  std::vector<std::size_t> nodes = order_;
  for (const Request& request : requests)
    if (!request.world) nodes.push_back(Stored(request.node));
  std::sort(nodes.begin(), nodes.end());
  nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  std::erase_if(nodes, [&](std::size_t n) { return !curves_[n].Turns(); });
  return nodes;
}

std::size_t FramePoser::PoseAt(double frame, const std::vector<Request>& requests) {
  const std::size_t cost = CostAt(requests);
  std::sort(order_.begin(), order_.end(),
            [&](std::size_t a, std::size_t b) { return rank_[a] < rank_[b]; });
  const std::vector<H3dsNode>& nodes = scene_.nodes;
  const auto local = [&](std::size_t n) {
    const int target = dependencies_.targets[n];
    const NodePose& pose = PoseOf(n, frame);
    return LocalOf(nodes, dependencies_, n, pose,
                   target < 0 ? nullptr : &PoseOf(static_cast<std::size_t>(target), frame),
                   worlds_);
  };
  for (const std::size_t n : order_) {
    locals_[n] = local(n);
    const int parent = dependencies_.parents[n];
    worlds_[n] = parent < 0 ? locals_[n] : worlds_[static_cast<std::size_t>(parent)] * locals_[n];
  }
  for (const Request& request : requests) {
    if (request.world) continue;
    const std::size_t n = Stored(request.node);
    requested_locals_[n] = collected_[n] == stamp_ ? locals_[n] : local(n);
  }
  return cost;
}

const Affine& FramePoser::MatrixOf(const Request& request) const {
  const std::size_t n = Stored(request.node);
  return request.world ? worlds_[n] : requested_locals_[n];
}

}  // namespace torvik
