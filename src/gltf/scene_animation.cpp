#include "scene_animation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>

#include "animation_samples.h"
#include "scene_nodes.h"

namespace torvik::gltf_build {

namespace {

// The most node matrices the samples at whole frames and keys may take, on
// top of kSamplesPerKey for each key the file stores (so a file of many
// keys is sampled at all of them): past it, fewer frames are sampled, with
// a warning.  The samples within frames may take kRefinementShare times as
// many again.
constexpr std::uint64_t kMaxSamples = std::uint64_t{1} << 20;
constexpr std::uint64_t kSamplesPerKey = 8;
constexpr std::uint64_t kRefinementShare = 4;

// The times of samples (in seconds, as floats, each after the one before)
// and which stand at keys.
struct Samples {
  std::vector<float> times;
  std::vector<bool> keys;
  std::vector<double> slack;  // NodeSamples::slack
};

template <std::size_t N>
void AddFrames(const Track<N>& track, std::vector<std::uint32_t>& frames) {
  if (track.keys.size() < 2) return;
  for (const TrackKey<N>& key : track.keys) frames.push_back(key.frame);
}

// The frames of the keys that move or hide a node, its target's left out.
std::vector<std::uint32_t> OwnKeyFrames(const NodeTracks* tracks) {
  std::vector<std::uint32_t> frames;
  if (tracks == nullptr) return frames;
  AddFrames(tracks->position, frames);
  AddFrames(tracks->rotation, frames);
  AddFrames(tracks->scale, frames);
  AddFrames(tracks->roll, frames);
  frames.insert(frames.end(), tracks->hide.frames.begin(), tracks->hide.frames.end());
  std::sort(frames.begin(), frames.end());
  frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  return frames;
}

// The samples of `node` whose times a float tells apart: of frames too
// close for that, the first stays (a key among them marks it).
std::vector<std::size_t> DistinctTimes(const NodeSamples& node, double first, double fps,
                                       Samples& samples) {
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < node.frames.size(); ++i) {
    const float time = static_cast<float>((node.frames[i] - first) / fps);
    if (!samples.times.empty() && !(time > samples.times.back())) {
      if (node.keys[i]) samples.keys.back() = true;
      continue;
    }
    samples.times.push_back(time);
    samples.keys.push_back(node.keys[i]);
    samples.slack.push_back(node.slack[i]);
    kept.push_back(i);
  }
  return kept;
}

// The samples kept of `values` (`stride` floats a sample): the first, the
// last, those at keys, and enough others that linear interpolation between
// kept samples is within `tolerance` of every sample in each component,
// less the share of it that the curve takes about the sample (its slack),
// so within `tolerance` of the curve between samples too (the slopes that
// stay within it narrowed sample by sample, so linear in the samples).  With `chord` > 0, kept
// neighbours are no farther apart than that (for rotations, whose interpolation follows the
// sphere).
std::vector<std::size_t> KeptSamples(const Samples& samples, const std::vector<float>& values,
                                     std::size_t stride, double tolerance, double chord) {
  const std::size_t count = samples.times.size();
  std::vector<std::size_t> kept;
  std::vector<double> low(stride), high(stride);
  std::size_t anchor = 0;
  const auto restart = [&](std::size_t at) {
    kept.push_back(at);
    anchor = at;
    std::fill(low.begin(), low.end(), -std::numeric_limits<double>::infinity());
    std::fill(high.begin(), high.end(), std::numeric_limits<double>::infinity());
  };
  restart(0);
  const auto value = [&](std::size_t sample, std::size_t c) {
    return static_cast<double>(values[sample * stride + c]);
  };
  const auto reaches = [&](std::size_t j) {
    const double dt = static_cast<double>(samples.times[j]) - samples.times[anchor];
    double distance = 0;
    for (std::size_t c = 0; c < stride; ++c) {
      const double d = value(j, c) - value(anchor, c);
      const double slope = d / dt;
      if (slope < low[c] || slope > high[c]) return false;
      distance += d * d;
    }
    return chord <= 0 || distance <= chord * chord;
  };
  for (std::size_t j = 1; j < count; ++j) {
    if (!reaches(j) && j - 1 != anchor) restart(j - 1);
    if (samples.keys[j] || j + 1 == count) {
      restart(j);
      continue;
    }
    const double dt = static_cast<double>(samples.times[j]) - samples.times[anchor];
    const double within = tolerance * (1 - samples.slack[j]);
    for (std::size_t c = 0; c < stride; ++c) {
      low[c] = std::max(low[c], (value(j, c) - within - value(anchor, c)) / dt);
      high[c] = std::min(high[c], (value(j, c) + within - value(anchor, c)) / dt);
    }
  }
  return kept;
}

// The animation's samplers and channels, the times shared among them.
class Channels {
 public:
  explicit Channels(GltfBuilder& builder) : builder_(builder) {}

  void Add(std::size_t node, const char* path, const Samples& samples,
           const std::vector<std::size_t>& kept, const std::vector<float>& values,
           std::size_t stride, const char* interpolation) {
    std::vector<float> times, output;
    for (const std::size_t k : kept) {
      times.push_back(samples.times[k]);
      output.insert(output.end(), values.begin() + static_cast<std::ptrdiff_t>(k * stride),
                    values.begin() + static_cast<std::ptrdiff_t>((k + 1) * stride));
    }
    auto [input, added] = inputs_.try_emplace(times, 0);
    if (added) input->second = builder_.AddFloats(times, "SCALAR", 1, true);
    const char* type = stride == 4 ? "VEC4" : "VEC3";
    samplers_.push_back({{"input", input->second},
                         {"interpolation", interpolation},
                         {"output", builder_.AddFloats(output, type, stride, false)}});
    channels_.push_back(
        {{"sampler", samplers_.size() - 1}, {"target", {{"node", node}, {"path", path}}}});
  }

  void Finish(const std::string& name) {
    if (channels_.empty()) return;
    builder_.Add(
        "animations",
        {{"name", name}, {"channels", std::move(channels_)}, {"samplers", std::move(samplers_)}});
  }

 private:
  GltfBuilder& builder_;
  std::map<std::vector<float>, std::size_t> inputs_;
  Json samplers_ = Json::array(), channels_ = Json::array();
};

template <std::size_t N>
void Append(std::vector<float>& values, const std::array<float, N>& v) {
  values.insert(values.end(), v.begin(), v.end());
}

// Whether every sample is `still`, bit for bit.
template <std::size_t N>
bool AllAre(const std::vector<float>& values, const std::array<float, N>& still) {
  for (std::size_t i = 0; i < values.size(); ++i)
    if (std::memcmp(&values[i], &still[i % N], sizeof(float)) != 0) return false;
  return true;
}

// The values of the samples `kept`, `stride` floats each.
std::vector<float> Picked(const std::vector<float>& values, const std::vector<std::size_t>& kept,
                          std::size_t stride) {
  std::vector<float> picked;
  picked.reserve(kept.size() * stride);
  for (const std::size_t k : kept)
    picked.insert(picked.end(), values.begin() + static_cast<std::ptrdiff_t>(k * stride),
                  values.begin() + static_cast<std::ptrdiff_t>((k + 1) * stride));
  return picked;
}

// The warning for samples thinned, or "".
std::string ThinnedWarning(const AnimationSampling& sampling, std::uint64_t frames,
                           std::size_t nodes) {
  if (sampling.step == 1 && sampling.keys_kept == 2) return "";
  const std::string keys = sampling.keys_kept == 2   ? " (and every key)"
                           : sampling.keys_kept == 1 ? " (and every key of the nodes themselves, "
                                                       "not their targets' keys)"
                                                     : ", not every key,";
  return "the animation samples every " +
         (sampling.step == 1 ? std::string("") : std::to_string(sampling.step) + "th ") + "frame" +
         keys + ": its " + std::to_string(frames) + " frames of " + std::to_string(nodes) +
         " moving nodes would take too many samples";
}

}  // namespace

void AddAnimation(GltfBuilder& builder, const H3dsScene& scene, const ScenePlacement& placement,
                  const NodeAnimation& animation, const std::array<std::uint32_t, 2>& frames,
                  const std::vector<AnimatedNode>& nodes, const std::vector<HiddenMesh>& hidden,
                  const AnimationSettings& settings) {
  if (frames[1] <= frames[0] || (nodes.empty() && hidden.empty())) return;
  FramePoser poser(scene, placement);
  std::vector<FramePoser::Request> requests;
  for (const AnimatedNode& node : nodes) requests.push_back({node.placement_node, node.world});
  std::uint64_t keys = 0;
  for (const NodeTracks& tracks : scene.animation.tracks) keys += KeyCount(tracks);
  SamplingBudget budget;
  budget.base = kMaxSamples + kSamplesPerKey * keys;
  budget.refinement = kRefinementShare * budget.base;
  budget.check = settings.check;
  // Hidden meshes take a sample a frame and one a key of their own.
  std::uint64_t hidden_keys = 0;
  for (const HiddenMesh& mesh : hidden)
    hidden_keys += animation.KeyFrames(mesh.placement_node).size();

  const double fps = settings.frames_per_second;
  SampleTolerances tolerances;
  tolerances.translation =
      kTranslationTolerance * (settings.diagonal > 0 ? settings.diagonal : 1) / std::sqrt(3.0);
  // Four components within t of the arc's are within 2t of it, turning by
  // twice that; the chord between kept samples leaves at most chord^2 / 8
  // between the sphere and its chord.
  tolerances.rotation = kRotationTolerance / 6;
  const double rotation_chord = std::sqrt(8 * tolerances.rotation);
  tolerances.scale = kScaleTolerance / std::sqrt(3.0);
  Channels channels(builder);
  const double first = frames[0];
  // Each node's channels as soon as its samples are made, which are then
  // let go.
  const auto add_channels = [&](std::size_t n, const NodeSamples& sampled) {
    const AnimatedNode& node = nodes[n];
    Samples samples;
    const std::vector<std::size_t> distinct = DistinctTimes(sampled, first, fps, samples);
    const std::vector<float> translations = Picked(sampled.translations, distinct, 3);
    const std::vector<float> rotations = Picked(sampled.rotations, distinct, 4);
    const std::vector<float> scales = Picked(sampled.scales, distinct, 3);
    const NodePlacement& still = placement.nodes[node.placement_node];
    std::size_t ignored = 0;
    const FloatTransform rest = FloatTransformOf(node.world ? still.world : still.local, ignored);
    if (!AllAre(translations, rest.translation))
      channels.Add(node.gltf_node, "translation", samples,
                   KeptSamples(samples, translations, 3, tolerances.translation, 0), translations,
                   3, "LINEAR");
    if (!AllAre(rotations, rest.rotation))
      channels.Add(node.gltf_node, "rotation", samples,
                   KeptSamples(samples, rotations, 4, tolerances.rotation, rotation_chord),
                   rotations, 4, "LINEAR");
    if (!AllAre(scales, rest.scale))
      channels.Add(node.gltf_node, "scale", samples,
                   KeptSamples(samples, scales, 3, tolerances.scale, 0), scales, 3, "LINEAR");
  };
  const AnimationSampling sampling = SampleAnimation(
      poser, requests,
      [&](std::size_t r, bool targets) {
        return targets ? animation.KeyFrames(requests[r].node)
                       : OwnKeyFrames(poser.CurvesOf(requests[r].node).tracks());
      },
      frames, tolerances, budget, {hidden.size(), hidden_keys}, add_channels);
  const std::string thinned =
      ThinnedWarning(sampling, std::uint64_t{frames[1]} - frames[0] + 1, nodes.size());
  if (!thinned.empty()) builder.Warn(thinned);
  if (!sampling.refined)
    builder.Warn(
        "some of the animation's curves are sampled at whole frames only, not within them: "
        "the samples within frames would take too many samples");
  const std::vector<double> grid = WholeFrames(frames, sampling.step);
  for (const HiddenMesh& mesh : hidden) {
    NodeSamples switches;
    std::vector<std::uint32_t> keyed = animation.KeyFrames(mesh.placement_node);
    switches.frames = grid;
    if (sampling.keys_kept > 0)
      for (const std::uint32_t f : keyed)
        if (f >= frames[0] && f <= frames[1]) switches.frames.push_back(f);
    std::sort(switches.frames.begin(), switches.frames.end());
    switches.frames.erase(std::unique(switches.frames.begin(), switches.frames.end()),
                          switches.frames.end());
    switches.keys.assign(switches.frames.size(), false);
    switches.slack.assign(switches.frames.size(), 0);
    Samples samples;
    const std::vector<std::size_t> distinct = DistinctTimes(switches, first, fps, samples);
    std::vector<float> scales;
    std::vector<std::size_t> kept;
    for (std::size_t s = 0; s < distinct.size(); ++s) {
      const bool hides = animation.HiddenAt(mesh.placement_node, switches.frames[distinct[s]]);
      Append(scales, hides ? std::array<float, 3>{0, 0, 0} : mesh.shown_scale);
      // STEP holds each value until the next: only changes are kept.
      if (s == 0 || !std::equal(scales.end() - 3, scales.end(), scales.end() - 6))
        kept.push_back(s);
    }
    if (kept.size() > 1 || !AllAre(scales, mesh.shown_scale))
      channels.Add(mesh.gltf_node, "scale", samples, kept, scales, 3, "STEP");
  }
  channels.Finish(settings.name);
  if (sampling.non_finite > 0)
    builder.Warn(std::to_string(sampling.non_finite) +
                 " animated transform values that were not numbers were written as 0");
}

}  // namespace torvik::gltf_build
