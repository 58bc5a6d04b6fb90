// The keyframer's node matrices at one frame after another, for an export
// that samples them: at each frame, each node's matrix is made once, from
// its parent's, and only those that the nodes asked for need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "node_dependencies.h"
#include "node_poses.h"
#include "torvik32c/3dsload.h"

namespace torvik {

class FramePoser {
 public:
  // `scene` and `placement` (PlaceScene's) must outlive the object.
  FramePoser(const H3dsScene& scene, const ScenePlacement& placement);

  // What a node's matrix at a frame asks for: its local matrix, or its
  // world matrix.  Node indices are those of ScenePlacement::nodes.
  struct Request {
    std::size_t node;
    bool world;
  };

  // Poses the requested nodes at `frame` (and whatever they need: their
  // ancestors' matrices for a world matrix, a camera's target and, when the
  // target hangs from another parent, both parents' world matrices).
  // Returns the matrices made.
  std::size_t PoseAt(double frame, const std::vector<Request>& requests);
  // What PoseAt would make, without making it.
  std::size_t CostAt(const std::vector<Request>& requests);
  // The stored nodes whose rotation tracks turn the requests' matrices:
  // the requests' own and, for world matrices, their ancestors'.
  std::vector<std::size_t> TurningNodes(const std::vector<Request>& requests);
  const NodeCurves& StoredCurves(std::size_t stored) const { return curves_[stored]; }
  // The matrix of a request of the last PoseAt.
  const Affine& MatrixOf(const Request& request) const;

  // The curves of a placement node, and of the node it looks at (none).
  const NodeCurves& CurvesOf(std::size_t node) const { return curves_[Stored(node)]; }
  const NodeCurves* TargetCurvesOf(std::size_t node) const {
    const int target = dependencies_.targets[Stored(node)];
    return target < 0 ? nullptr : &curves_[static_cast<std::size_t>(target)];
  }
  // Whether the node's local matrix needs world matrices: it looks at a
  // target that hangs from another parent.
  bool LooksAcross(std::size_t node) const { return dependencies_.LooksAcross(Stored(node)); }
  std::size_t Stored(std::size_t node) const { return placement_.nodes[node].node; }

 private:
  // Collects into `order_` the stored nodes whose world matrices `request`
  // needs and that are not collected yet at this frame.
  void Collect(const Request& request);
  const NodePose& PoseOf(std::size_t stored, double frame);

  const H3dsScene& scene_;
  const ScenePlacement& placement_;
  NodeDependencies dependencies_;
  std::vector<NodeCurves> curves_;          // by stored node
  std::vector<std::size_t> rank_;           // each stored node's place in dependencies_.order
  std::vector<std::uint64_t> collected_;    // the frame's stamp: the world is (to be) made
  std::vector<std::uint64_t> posed_;        // the frame's stamp: the pose is made
  std::vector<NodePose> poses_;             // by stored node
  std::vector<Affine> locals_, worlds_;     // by stored node
  std::vector<Affine> requested_locals_;    // by stored node, of requests for local matrices
  std::vector<std::size_t> order_, stack_;  // scratch
  std::uint64_t stamp_ = 0;
};

}  // namespace torvik
