// What places one keyframer node at one frame (its pose), and the node's
// local matrix from it: shared by the placement at frame 0 and the
// animation.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/keyframer.h"
#include "torvik32c/keyframer_tracks.h"
#include "track_curves.h"

namespace torvik {

inline constexpr uword kCameraNode = 0xB003;
inline constexpr uword kSpotlightNode = 0xB007;

// For each node, the node it looks at, or -1: for the k-th camera (or
// spotlight) node of a name, the k-th camera (or spotlight) target node of
// that name wherever it stands, or the last one when there are fewer.
std::vector<int> TargetsOf(const std::vector<H3dsNode>& nodes);

// The parts of a node's first keys (and its pivot) that hold only finite
// numbers: one with a NaN or an infinity is ignored, as if the node had
// none.
struct UsableParts {
  bool pivot, position, rotation, scale, roll;

  explicit UsableParts(const H3dsNode& node);
  // "pivot and scale track": the parts ignored, or "".
  std::string Ignored(const H3dsNode& node) const;
};

// A node's position, turn, scale and roll at one frame.
struct NodePose {
  float32 position[3] = {0, 0, 0};
  std::optional<Affine> rotation;  // none: no turn
  std::optional<std::array<float32, 3>> scale;
  double roll = 0;  // degrees, for a camera or spotlight
  bool hidden = false;
};

// The pose of the node's first keys, as the placement at frame 0 has it.
NodePose FirstKeyPose(const H3dsNode& node);

// The direction from `eye` to `target`, two points of one frame, as the
// placement takes it (the floats' difference).
std::array<double, 3> DirectionTo(const float32 (&eye)[3], const float32 (&target)[3]);

// T(position) R(rotation) S(scale); a camera or spotlight with a target:
// T(position) times its turn along `view` (the direction to its target in
// its parent's frame), rolled; any other such node: T(position).
Affine LocalMatrix(const H3dsNode& node, const NodePose& pose,
                   const std::optional<std::array<double, 3>>& view);

// A node's tracks as curves: its pose at any frame.
class NodeCurves {
 public:
  // Without tracks (a scene read without its animation) the node keeps its
  // first keys.
  NodeCurves(const H3dsNode& node, const NodeTracks* tracks);

  NodePose At(double frame) const;
  // Whether its position, rotation, scale or roll has more than one key.
  bool Moves() const { return moves_; }
  bool Hides() const { return tracks_ != nullptr && !tracks_->hide.frames.empty(); }
  // Whether a rotation track of more than one key turns it.
  bool Turns() const { return rotation_.has_value(); }
  // An angle (radians) that the turn its rotation track makes between the
  // two frames does not pass: infinite where a repeating track starts again.
  double TurnBound(double from, double to) const;
  const NodeTracks* tracks() const { return tracks_; }

 private:
  NodePose first_;
  const NodeTracks* tracks_;
  std::optional<RotationCurve> rotation_;
  bool moves_ = false;
};

// Each node's curves, by its index in H3dsScene::nodes.
std::vector<NodeCurves> NodeCurvesOf(const H3dsScene& scene);

// The placement that PlaceScene makes, with each node posed by `pose_of`
// (given the node's index in H3dsScene::nodes).
ScenePlacement PlaceSceneWith(const H3dsScene& scene, const NameDecoder& names,
                              const std::function<NodePose(std::size_t node)>& pose_of);

}  // namespace torvik
