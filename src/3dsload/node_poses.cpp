// Nodes' poses: from their first keys, or from their tracks at any frame.
#include "node_poses.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string_view>
#include <unordered_map>

#include "affine.h"

namespace torvik {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool Finite(std::initializer_list<float32> values) {
  for (const float32 value : values)
    if (!std::isfinite(value)) return false;
  return true;
}

// Looking along `d` (no need of unit length): the local -z axis along the
// view, y up (towards the frame's z), then rolled about the view by `roll`
// degrees.
Affine LookAlong(std::array<double, 3> d, double roll) {
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

std::array<float32, 3> Floats(const std::array<double, 3>& v) {
  return {static_cast<float32>(v[0]), static_cast<float32>(v[1]), static_cast<float32>(v[2])};
}

}  // namespace

std::vector<int> TargetsOf(const std::vector<H3dsNode>& nodes) {
  constexpr uword kCameraTarget = kCameraNode + 1, kSpotlightTarget = kSpotlightNode - 1;
  // The targets of each kind and name in file order; the k-th camera of a
  // name looks at the k-th target of that name, wherever the two stand
  // (3D Studio writes the target after its camera, 3ds Max before it), and
  // a camera beyond its name's targets at the last of them.
  std::unordered_map<std::string_view, std::vector<int>> camera_targets, spotlight_targets;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].kind == kCameraTarget)
      camera_targets[nodes[i].name].push_back(static_cast<int>(i));
    else if (nodes[i].kind == kSpotlightTarget)
      spotlight_targets[nodes[i].name].push_back(static_cast<int>(i));
  }
  std::vector<int> targets(nodes.size(), -1);
  std::unordered_map<std::string_view, std::size_t> cameras_seen, spotlights_seen;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const H3dsNode& node = nodes[i];
    const bool camera = node.kind == kCameraNode;
    if (!camera && node.kind != kSpotlightNode) continue;
    const auto& by_name = camera ? camera_targets : spotlight_targets;
    const std::size_t k = (camera ? cameras_seen : spotlights_seen)[node.name]++;
    const auto found = by_name.find(node.name);
    if (found != by_name.end()) targets[i] = found->second[std::min(k, found->second.size() - 1)];
  }
  return targets;
}

UsableParts::UsableParts(const H3dsNode& node)
    : pivot(Finite({node.pivot[0], node.pivot[1], node.pivot[2]})),
      position(Finite({node.position[0], node.position[1], node.position[2]})),
      rotation(Finite({node.rotation_angle, node.rotation_axis[0], node.rotation_axis[1],
                       node.rotation_axis[2]})),
      scale(Finite({node.scale[0], node.scale[1], node.scale[2]})),
      roll(Finite({node.roll})) {}

std::string UsableParts::Ignored(const H3dsNode& node) const {
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

NodePose FirstKeyPose(const H3dsNode& node) {
  const UsableParts usable(node);
  NodePose pose;
  if (node.has_position && usable.position)
    for (int i = 0; i < 3; ++i) pose.position[i] = node.position[i];
  if (node.kind != kObjectNodeChunk) {
    if (node.has_roll && usable.roll) pose.roll = node.roll;
    return pose;
  }
  if (node.has_rotation && usable.rotation)
    pose.rotation = Rotation(kRotationSign * node.rotation_angle, node.rotation_axis[0],
                             node.rotation_axis[1], node.rotation_axis[2]);
  if (node.has_scale && usable.scale)
    pose.scale = std::array<float32, 3>{node.scale[0], node.scale[1], node.scale[2]};
  return pose;
}

std::array<double, 3> DirectionTo(const float32 (&eye)[3], const float32 (&target)[3]) {
  // The difference of the floats, as a float: the placement's arithmetic.
  return {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
}

Affine LocalMatrix(const H3dsNode& node, const NodePose& pose,
                   const std::optional<std::array<double, 3>>& view) {
  Affine local = Translation(pose.position[0], pose.position[1], pose.position[2]);
  if (node.kind != kObjectNodeChunk) {
    if (view) local = local * LookAlong(*view, pose.roll);
    return local;
  }
  if (pose.rotation) local = local * *pose.rotation;
  if (pose.scale) local = local * Scaling((*pose.scale)[0], (*pose.scale)[1], (*pose.scale)[2]);
  return local;
}

NodeCurves::NodeCurves(const H3dsNode& node, const NodeTracks* tracks)
    : first_(FirstKeyPose(node)), tracks_(tracks) {
  if (tracks == nullptr) return;
  const bool object = node.kind == kObjectNodeChunk;
  if (object && tracks->rotation.keys.size() > 1) rotation_.emplace(tracks->rotation);
  moves_ = tracks->position.keys.size() > 1 ||
           (object && (rotation_ || tracks->scale.keys.size() > 1)) ||
           (!object && tracks->roll.keys.size() > 1);
}

std::vector<NodeCurves> NodeCurvesOf(const H3dsScene& scene) {
  const std::vector<NodeTracks>& tracks = scene.animation.tracks;
  const bool animated = tracks.size() == scene.nodes.size();
  std::vector<NodeCurves> curves;
  curves.reserve(scene.nodes.size());
  for (std::size_t i = 0; i < scene.nodes.size(); ++i)
    curves.emplace_back(scene.nodes[i], animated ? &tracks[i] : nullptr);
  return curves;
}

double NodeCurves::TurnBound(double from, double to) const {
  return rotation_ ? rotation_->TurnBound(from, to) : 0;
}

NodePose NodeCurves::At(double frame) const {
  NodePose pose = first_;
  if (tracks_ == nullptr) return pose;
  if (tracks_->position.keys.size() > 1) {
    const std::array<float32, 3> p = Floats(ValueAt(tracks_->position, frame));
    for (int i = 0; i < 3; ++i) pose.position[i] = p[i];
  }
  if (rotation_) pose.rotation = rotation_->At(frame);
  if (first_.scale && tracks_->scale.keys.size() > 1)
    pose.scale = Floats(ValueAt(tracks_->scale, frame));
  if (tracks_->roll.keys.size() > 1) pose.roll = ValueAt(tracks_->roll, frame)[0];
  pose.hidden = HiddenAt(tracks_->hide, frame);
  return pose;
}

Affine LookingAt(const float32 (&eye)[3], const float32 (&target)[3], double roll) {
  return Translation(eye[0], eye[1], eye[2]) * LookAlong(DirectionTo(eye, target), roll);
}

}  // namespace torvik
