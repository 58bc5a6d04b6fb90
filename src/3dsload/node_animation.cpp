// The keyframer's nodes over the frames: their local matrices at any frame
// for an export, and the whole placement at a frame.
#include <algorithm>

#include "node_poses.h"
#include "torvik32c/3dsload.h"

namespace torvik {

namespace {

// Each node's curves, by its index in H3dsScene::nodes.
std::vector<NodeCurves> CurvesOf(const H3dsScene& scene) {
  const std::vector<NodeTracks>& tracks = scene.animation.tracks;
  const bool animated = tracks.size() == scene.nodes.size();
  std::vector<NodeCurves> curves;
  curves.reserve(scene.nodes.size());
  for (std::size_t i = 0; i < scene.nodes.size(); ++i)
    curves.emplace_back(scene.nodes[i], animated ? &tracks[i] : nullptr);
  return curves;
}

template <std::size_t N>
void AddFrames(const Track<N>& track, std::vector<std::uint32_t>& frames) {
  if (track.keys.size() < 2) return;
  for (const TrackKey<N>& key : track.keys) frames.push_back(key.frame);
}

}  // namespace

struct NodeAnimation::Impl {
  const H3dsScene& scene;
  const ScenePlacement& placement;
  std::vector<int> targets;  // by stored node
  std::vector<NodeCurves> curves;

  std::size_t Stored(std::size_t node) const { return placement.nodes.at(node).node; }
  const NodeCurves* TargetOf(std::size_t stored) const {
    const int target = targets[stored];
    return target == -1 ? nullptr : &curves[static_cast<std::size_t>(target)];
  }
};

NodeAnimation::NodeAnimation(const H3dsScene& scene, const ScenePlacement& placement)
    : impl_(new Impl{scene, placement, TargetsOf(scene.nodes), CurvesOf(scene)}) {}

NodeAnimation::~NodeAnimation() = default;

bool NodeAnimation::Moves(std::size_t node) const {
  const std::size_t stored = impl_->Stored(node);
  const NodeCurves* target = impl_->TargetOf(stored);
  return impl_->curves[stored].Moves() || (target != nullptr && target->tracks() != nullptr &&
                                           target->tracks()->position.keys.size() > 1);
}

bool NodeAnimation::Hides(std::size_t node) const {
  return impl_->curves[impl_->Stored(node)].Hides();
}

Affine NodeAnimation::LocalAt(std::size_t node, double frame) const {
  const std::size_t stored = impl_->Stored(node);
  const NodeCurves* target = impl_->TargetOf(stored);
  const NodePose pose = impl_->curves[stored].At(frame);
  if (target == nullptr) return LocalMatrix(impl_->scene.nodes[stored], pose, nullptr);
  const NodePose looked_at = target->At(frame);
  return LocalMatrix(impl_->scene.nodes[stored], pose, &looked_at);
}

bool NodeAnimation::HiddenAt(std::size_t node, double frame) const {
  return impl_->curves[impl_->Stored(node)].At(frame).hidden;
}

std::vector<std::uint32_t> NodeAnimation::KeyFrames(std::size_t node) const {
  std::vector<std::uint32_t> frames;
  const std::size_t stored = impl_->Stored(node);
  const NodeCurves* own = &impl_->curves[stored];
  const NodeCurves* target = impl_->TargetOf(stored);
  for (const NodeCurves* curves : {own, target}) {
    if (curves == nullptr || curves->tracks() == nullptr) continue;
    const NodeTracks& tracks = *curves->tracks();
    AddFrames(tracks.position, frames);
    if (curves == target) continue;
    AddFrames(tracks.rotation, frames);
    AddFrames(tracks.scale, frames);
    AddFrames(tracks.roll, frames);
    frames.insert(frames.end(), tracks.hide.frames.begin(), tracks.hide.frames.end());
  }
  std::sort(frames.begin(), frames.end());
  frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  return frames;
}

const NodeTracks* NodeAnimation::TracksOf(std::size_t node) const {
  return impl_->curves[impl_->Stored(node)].tracks();
}

std::array<std::uint32_t, 2> AnimationFrames(const KeyframerAnimation& animation) {
  if (animation.range) return *animation.range;
  std::uint32_t last = 0;
  const auto see = [&](std::uint32_t frame) { last = std::max(last, frame); };
  for (const NodeTracks& tracks : animation.tracks) {
    for (const auto* keys : {&tracks.position.keys, &tracks.scale.keys})
      if (!keys->empty()) see(keys->back().frame);
    if (!tracks.rotation.keys.empty()) see(tracks.rotation.keys.back().frame);
    if (!tracks.fov.keys.empty()) see(tracks.fov.keys.back().frame);
    if (!tracks.roll.keys.empty()) see(tracks.roll.keys.back().frame);
    if (!tracks.hide.frames.empty()) see(tracks.hide.frames.back());
  }
  return {0, last};
}

ScenePlacement PlaceSceneAt(const H3dsScene& scene, double frame, const NameDecoder& names) {
  const std::vector<NodeCurves> curves = CurvesOf(scene);
  return PlaceSceneWith(scene, names, [&](std::size_t node) { return curves[node].At(frame); });
}

}  // namespace torvik
