// The keyframer's nodes over the frames: their local matrices at any frame
// for an export, and the whole placement at a frame.
#include <algorithm>

#include "affine.h"
#include "node_dependencies.h"
#include "node_poses.h"
#include "torvik32c/3dsload.h"

namespace torvik {

namespace {

template <std::size_t N>
void AddFrames(const Track<N>& track, std::vector<std::uint32_t>& frames) {
  if (track.keys.size() < 2) return;
  for (const TrackKey<N>& key : track.keys) frames.push_back(key.frame);
}

}  // namespace

struct NodeAnimation::Impl {
  const H3dsScene& scene;
  const ScenePlacement& placement;
  std::vector<NodeCurves> curves;
  NodeDependencies dependencies;  // by stored node
  // Whether the node's world matrix changes over the frames.
  std::vector<bool> world_moves;

  Impl(const H3dsScene& s, const ScenePlacement& p)
      : scene(s),
        placement(p),
        curves(NodeCurvesOf(s)),
        dependencies(DependenciesOf(s.nodes, StoredParents(s, p))),
        world_moves(s.nodes.size(), false) {
    for (const std::size_t n : dependencies.order) {
      const int parent = dependencies.parents[n];
      world_moves[n] =
          LocalMoves(n) || (parent >= 0 && world_moves[static_cast<std::size_t>(parent)]);
    }
  }

  std::size_t Stored(std::size_t node) const { return placement.nodes.at(node).node; }
  const NodeCurves* TargetOf(std::size_t stored) const {
    const int target = dependencies.targets[stored];
    return target == -1 ? nullptr : &curves[static_cast<std::size_t>(target)];
  }
  // Its own tracks, its target's position, or (for a target of another
  // parent) either parent's world matrix.
  bool LocalMoves(std::size_t stored) const {
    const NodeCurves* target = TargetOf(stored);
    if (curves[stored].Moves() || (target != nullptr && target->tracks() != nullptr &&
                                   target->tracks()->position.keys.size() > 1))
      return true;
    if (!dependencies.LooksAcross(stored)) return false;
    const int parent = dependencies.parents[stored], other = dependencies.TargetParent(stored);
    return (parent >= 0 && world_moves[static_cast<std::size_t>(parent)]) ||
           (other >= 0 && world_moves[static_cast<std::size_t>(other)]);
  }
};

NodeAnimation::NodeAnimation(const H3dsScene& scene, const ScenePlacement& placement)
    : impl_(new Impl(scene, placement)) {}

NodeAnimation::~NodeAnimation() = default;

bool NodeAnimation::Moves(std::size_t node) const { return impl_->LocalMoves(impl_->Stored(node)); }

bool NodeAnimation::Hides(std::size_t node) const {
  return impl_->curves[impl_->Stored(node)].Hides();
}

Affine NodeAnimation::LocalAt(std::size_t node, double frame) const {
  const std::size_t stored = impl_->Stored(node);
  const NodeCurves* target = impl_->TargetOf(stored);
  const NodePose pose = impl_->curves[stored].At(frame);
  if (target == nullptr) return LocalMatrix(impl_->scene.nodes[stored], pose, std::nullopt);
  const NodePose looked_at = target->At(frame);
  const NodeDependencies& d = impl_->dependencies;
  if (!d.LooksAcross(stored)) return LocalOf(impl_->scene.nodes, d, stored, pose, &looked_at, {});
  // The target hangs from another parent: the whole frame's matrices.
  std::vector<Affine> worlds(impl_->scene.nodes.size(), IdentityAffine());
  for (const std::size_t n : d.order) {
    if (n == stored) break;
    const NodePose posed = impl_->curves[n].At(frame);
    const NodeCurves* its_target = impl_->TargetOf(n);
    const std::optional<NodePose> its_view =
        its_target == nullptr ? std::nullopt : std::optional<NodePose>(its_target->At(frame));
    const Affine local =
        LocalOf(impl_->scene.nodes, d, n, posed, its_view ? &*its_view : nullptr, worlds);
    const int parent = d.parents[n];
    worlds[n] = parent < 0 ? local : worlds[static_cast<std::size_t>(parent)] * local;
  }
  return LocalOf(impl_->scene.nodes, d, stored, pose, &looked_at, worlds);
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
  const std::vector<NodeCurves> curves = NodeCurvesOf(scene);
  return PlaceSceneWith(scene, names, [&](std::size_t node) { return curves[node].At(frame); });
}

}  // namespace torvik
