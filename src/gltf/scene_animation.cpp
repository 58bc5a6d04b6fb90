#include "scene_animation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>

#include "scene_nodes.h"

namespace torvik::gltf_build {

namespace {

// The most node transforms an animation computes: past it, fewer frames
// are sampled (every n-th, and still every key), with a warning.
constexpr std::uint64_t kMaxSamples = std::uint64_t{1} << 20;

// Frames sampled for one node, each at a time (in seconds, as a float)
// after the one before, and whether a key of the node stands there.
struct Samples {
  std::vector<std::uint32_t> frames;
  std::vector<float> times;
  std::vector<bool> keys;
};

Samples SampleFrames(const std::array<std::uint32_t, 2>& range, std::uint32_t step,
                     const std::vector<std::uint32_t>& key_frames, double fps) {
  std::vector<std::uint32_t> grid;
  for (std::uint64_t f = range[0]; f <= range[1]; f += step)
    grid.push_back(static_cast<std::uint32_t>(f));
  if (grid.back() != range[1]) grid.push_back(range[1]);
  std::vector<std::uint32_t> keys;
  for (const std::uint32_t f : key_frames)
    if (f >= range[0] && f <= range[1]) keys.push_back(f);
  std::vector<std::uint32_t> all;
  std::set_union(grid.begin(), grid.end(), keys.begin(), keys.end(), std::back_inserter(all));
  Samples samples;
  std::size_t next_key = 0;
  for (const std::uint32_t f : all) {
    while (next_key < keys.size() && keys[next_key] < f) ++next_key;
    const bool key = next_key < keys.size() && keys[next_key] == f;
    const float time = static_cast<float>(f / fps);
    // Frames too close for a float's time merge into the first; a key
    // among them marks it.
    if (!samples.times.empty() && !(time > samples.times.back())) {
      if (key) samples.keys.back() = true;
      continue;
    }
    samples.frames.push_back(f);
    samples.times.push_back(time);
    samples.keys.push_back(key);
  }
  return samples;
}

// The node's world matrix at `frame`: its ancestors' local matrices and
// its own, multiplied from the root down as the placement does.
Affine WorldAt(const ScenePlacement& placement, const NodeAnimation& animation, std::size_t node,
               double frame) {
  std::vector<std::size_t> chain;
  for (int n = static_cast<int>(node); n >= 0;
       n = placement.nodes[static_cast<std::size_t>(n)].parent)
    chain.push_back(static_cast<std::size_t>(n));
  Affine world = animation.LocalAt(chain.back(), frame);
  for (auto n = chain.rbegin() + 1; n != chain.rend(); ++n)
    world = world * animation.LocalAt(*n, frame);
  return world;
}

// The samples kept of `values` (`stride` floats a sample): the first, the
// last, those at keys, and enough others that linear interpolation between
// kept samples is within `tolerance` of every sample in each component
// (the slopes that stay within it narrowed sample by sample, so linear in
// the samples).  With `chord` > 0, kept neighbours are no farther apart
// than that (for rotations, whose interpolation follows the sphere).
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
    for (std::size_t c = 0; c < stride; ++c) {
      low[c] = std::max(low[c], (value(j, c) - tolerance - value(anchor, c)) / dt);
      high[c] = std::min(high[c], (value(j, c) + tolerance - value(anchor, c)) / dt);
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

}  // namespace

void AddAnimation(GltfBuilder& builder, const ScenePlacement& placement,
                  const NodeAnimation& animation, const std::array<std::uint32_t, 2>& frames,
                  const std::vector<AnimatedNode>& nodes, const std::vector<HiddenMesh>& hidden,
                  const AnimationSettings& settings) {
  if (frames[1] <= frames[0] || (nodes.empty() && hidden.empty())) return;
  // Each sample costs a matrix per node, and a lifted node's a matrix per
  // ancestor.
  std::uint64_t cost = hidden.size();
  for (const AnimatedNode& node : nodes) {
    std::uint64_t depth = 1;
    if (node.world)
      for (int n = placement.nodes[node.placement_node].parent; n >= 0;
           n = placement.nodes[static_cast<std::size_t>(n)].parent)
        ++depth;
    cost += depth;
  }
  const std::uint64_t span = std::uint64_t{frames[1]} - frames[0] + 1;
  const std::uint64_t step64 =
      std::max<std::uint64_t>(1, (span * cost + kMaxSamples - 1) / kMaxSamples);
  const std::uint32_t step = static_cast<std::uint32_t>(std::min<std::uint64_t>(step64, span));
  if (step > 1)
    builder.Warn("the animation samples every " + std::to_string(step) +
                 "th frame (and every key): its " + std::to_string(span) + " frames of " +
                 std::to_string(nodes.size()) + " moving nodes would take too many samples");
  const double fps = settings.frames_per_second;
  const double translation_tolerance =
      kTranslationTolerance * (settings.diagonal > 0 ? settings.diagonal : 1) / std::sqrt(3.0);
  // Four components within t of the arc's are within 2t of it, turning by
  // twice that; the chord between kept samples leaves at most chord^2 / 8
  // between the sphere and its chord.
  const double rotation_tolerance = kRotationTolerance / 6;
  const double rotation_chord = std::sqrt(8 * rotation_tolerance);
  const double scale_tolerance = kScaleTolerance / std::sqrt(3.0);

  Channels channels(builder);
  std::size_t non_finite = 0;
  for (const AnimatedNode& node : nodes) {
    std::vector<std::uint32_t> keys = animation.KeyFrames(node.placement_node);
    if (node.world)
      for (int n = placement.nodes[node.placement_node].parent; n >= 0;
           n = placement.nodes[static_cast<std::size_t>(n)].parent) {
        const std::vector<std::uint32_t> more = animation.KeyFrames(static_cast<std::size_t>(n));
        keys.insert(keys.end(), more.begin(), more.end());
      }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    const Samples samples = SampleFrames(frames, step, keys, fps);
    std::vector<float> translations, rotations, scales;
    for (const std::uint32_t frame : samples.frames) {
      const Affine m = node.world ? WorldAt(placement, animation, node.placement_node, frame)
                                  : animation.LocalAt(node.placement_node, frame);
      FloatTransform t = FloatTransformOf(m, non_finite);
      // The same turn the nearer way from the sample before: LINEAR
      // interpolates rotations along the shorter arc.
      if (!rotations.empty()) {
        const float* before = &rotations[rotations.size() - 4];
        const double dot = static_cast<double>(before[0]) * t.rotation[0] +
                           static_cast<double>(before[1]) * t.rotation[1] +
                           static_cast<double>(before[2]) * t.rotation[2] +
                           static_cast<double>(before[3]) * t.rotation[3];
        if (dot < 0)
          for (float& c : t.rotation) c = -c;
      }
      Append(translations, t.translation);
      Append(rotations, t.rotation);
      Append(scales, t.scale);
    }
    const NodePlacement& still = placement.nodes[node.placement_node];
    std::size_t ignored = 0;
    const FloatTransform rest = FloatTransformOf(node.world ? still.world : still.local, ignored);
    if (!AllAre(translations, rest.translation))
      channels.Add(node.gltf_node, "translation", samples,
                   KeptSamples(samples, translations, 3, translation_tolerance, 0), translations, 3,
                   "LINEAR");
    if (!AllAre(rotations, rest.rotation))
      channels.Add(node.gltf_node, "rotation", samples,
                   KeptSamples(samples, rotations, 4, rotation_tolerance, rotation_chord),
                   rotations, 4, "LINEAR");
    if (!AllAre(scales, rest.scale))
      channels.Add(node.gltf_node, "scale", samples,
                   KeptSamples(samples, scales, 3, scale_tolerance, 0), scales, 3, "LINEAR");
  }
  for (const HiddenMesh& mesh : hidden) {
    const Samples samples =
        SampleFrames(frames, step, animation.KeyFrames(mesh.placement_node), fps);
    std::vector<float> scales;
    std::vector<std::size_t> kept;
    for (std::size_t s = 0; s < samples.frames.size(); ++s) {
      const bool hides = animation.HiddenAt(mesh.placement_node, samples.frames[s]);
      Append(scales, hides ? std::array<float, 3>{0, 0, 0} : mesh.shown_scale);
      // STEP holds each value until the next: only changes are kept.
      if (s == 0 || !std::equal(scales.end() - 3, scales.end(), scales.end() - 6))
        kept.push_back(s);
    }
    if (kept.size() > 1 || !AllAre(scales, mesh.shown_scale))
      channels.Add(mesh.gltf_node, "scale", samples, kept, scales, 3, "STEP");
  }
  channels.Finish(settings.name);
  if (non_finite > 0)
    builder.Warn(std::to_string(non_finite) +
                 " animated transform values that were not numbers were written as 0");
}

}  // namespace torvik::gltf_build
