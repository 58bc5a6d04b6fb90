// The samples of the animated nodes' transforms: at whole frames, at every
// key, and within frames wherever the curve strays from the straight line
// (a long turn inside one frame included), within a bounded amount of
// work.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "3dsload/frame_poser.h"

namespace torvik::gltf_build {

// How far the glTF may stray from the curves, per component of a
// translation, a rotation quaternion and a scale.
struct SampleTolerances {
  double translation, rotation, scale;
};

// One animated node's samples, in increasing frames.
struct NodeSamples {
  std::vector<double> frames;
  std::vector<bool> keys;  // at a key the node follows: always kept
  // Of each sample, the share (0 to 1) of the tolerances that the curve
  // takes between it and its neighbouring samples, away from the straight
  // line (or the quaternions' chord) joining them: what a line through
  // kept samples may take is the rest.
  std::vector<double> slack;
  // 3, 4 and 3 floats a sample, as written; each rotation on the side of
  // the one before (a non-negative dot product).
  std::vector<float> translations, rotations, scales;
};

// What sampling may cost, in matrices made: the samples at whole frames
// and keys (`base`), and the checks and samples within frames on top.
struct SamplingBudget {
  std::uint64_t base = 0;
  std::uint64_t refinement = 0;
  // Called every few thousand matrices; throws to stop the work.
  std::function<void()> check = {};
};

struct AnimationSampling {
  std::vector<NodeSamples> nodes;  // by request, while its group is sampled
  std::uint32_t step = 1;          // the whole frames sampled: every step-th
  // The keys always kept: 2 every key that moves a node, its target's
  // included; 1 the nodes' own keys; 0 none beyond the frames sampled.
  int keys_kept = 2;
  bool refined = true;         // every interval was refined as it needed
  std::size_t non_finite = 0;  // transform values that were not numbers
};

// The samples that the sampling's plan must leave room for besides the
// requests': `per_frame` at each whole frame sampled, and `keys` more when
// keys are kept.
struct OtherSamples {
  std::uint64_t per_frame = 0, keys = 0;
};

// The whole frames of `range` sampled at a step: every step-th from
// range[0], and range[1].
std::vector<double> WholeFrames(const std::array<std::uint32_t, 2>& range, std::uint64_t step);

// Samples `requests` (the nodes that move, each by its local or its world
// matrix) over the frames `range`, the keys that `key_frames` gives each
// (its own and its target's) kept.  The base samples are thinned (every
// step-th frame, then not the targets' keys, then no key) as the budget
// needs; within frames, samples are added while the budget lasts.  Each
// request's samples go to `sampled` as soon as its group's are made (the
// requests that need world matrices last), and are then let go.
AnimationSampling SampleAnimation(
    FramePoser& poser, const std::vector<FramePoser::Request>& requests,
    const std::function<std::vector<std::uint32_t>(std::size_t request, bool targets)>& key_frames,
    const std::array<std::uint32_t, 2>& range, const SampleTolerances& tolerances,
    const SamplingBudget& budget, const OtherSamples& others,
    const std::function<void(std::size_t request, const NodeSamples& samples)>& sampled);

}  // namespace torvik::gltf_build
