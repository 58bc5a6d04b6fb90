// The keyframer's animation as one glTF animation.
//
// Each node that moves gets a channel for each of its translation,
// rotation and scale that changes: sampled at every frame of the
// animation's range (its first frame at time 0, frame f at (f - first) /
// fps seconds), at every key and within frames where the curve needs it
// (animation_samples.h), written as LINEAR, with the samples that
// interpolation between the samples kept reproduces dropped: the first
// and last, and those at the node's keys, are always kept (exact at every
// key), and at any time between them the interpolation stays within
// kTranslationTolerance of the model's diagonal (in the parent's frame),
// kRotationTolerance radians and kScaleTolerance of the curves (each
// sample's slack, what the curve takes about it, left out of what the
// line through kept samples may take).  Frame 0's samples are the nodes'
// own transforms, bit for bit.  The samples take at most kMaxSamples
// matrices plus kSamplesPerKey a stored key, with a warning past it.
// A node whose hide track hides it draws its mesh through a child node
// whose scale is 0 while hidden (STEP).
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "gltf_builder.h"
#include "torvik32c/3dsload.h"

namespace torvik::gltf_build {

inline constexpr double kTranslationTolerance = 1e-4;  // of the model's diagonal
inline constexpr double kRotationTolerance = 1e-4;     // radians
inline constexpr double kScaleTolerance = 1e-4;

// A glTF node that the animation moves.
struct AnimatedNode {
  std::size_t gltf_node;
  std::size_t placement_node;  // index into ScenePlacement::nodes
  bool world;                  // written with its world transform (lifted out of its hierarchy)
};

// The child node through which a node that hides draws its mesh.
struct HiddenMesh {
  std::size_t gltf_node;
  std::size_t placement_node;
  std::array<float, 3> shown_scale;  // its scale while shown
};

struct AnimationSettings {
  std::string name;
  double frames_per_second = 30;
  double diagonal = 0;  // of the model: what translations are measured against
  // Called every few thousand matrices; throws to stop the export.
  std::function<void()> check = {};
};

// Adds the animation of `nodes` and `hidden`; none when nothing changes.
void AddAnimation(GltfBuilder& builder, const H3dsScene& scene, const ScenePlacement& placement,
                  const NodeAnimation& animation, const std::array<std::uint32_t, 2>& frames,
                  const std::vector<AnimatedNode>& nodes, const std::vector<HiddenMesh>& hidden,
                  const AnimationSettings& settings);

}  // namespace torvik::gltf_build
