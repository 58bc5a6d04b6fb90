#include "animation_samples.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "scene_nodes.h"

namespace torvik::gltf_build {

namespace {

// The shortest piece of a frame that is refined: a curve that jumps (a
// repeating track starting again) stays a jump within it.
constexpr double kShortestPiece = 1.0 / 1024;
// The longest turn that a piece is checked on rather than split: samples
// at its quarters then tell a turn from one that comes back round.
constexpr double kLongestCheckedTurn = 1.5707963267948966;
// A piece is split while its curve strays from the line between its ends
// by more than this share of the tolerances; the share that the sample's
// neighbourhood then takes is this stray times kStraySafety (the stray is
// measured at the piece's quarters, and a cubic strays a little more
// between them).
constexpr double kRefinedShare = 0.25;
constexpr double kStraySafety = 1.5;
// How often the budget's check is called, in matrices.
constexpr std::uint64_t kCheckEvery = 4096;

// One request's transform at a frame: translation, rotation, scale.
using Values = std::array<float, 10>;

Values ValuesOf(const Affine& m, std::size_t& non_finite) {
  const FloatTransform t = FloatTransformOf(m, non_finite);
  return {t.translation[0], t.translation[1], t.translation[2], t.rotation[0], t.rotation[1],
          t.rotation[2],    t.rotation[3],    t.scale[0],       t.scale[1],    t.scale[2]};
}

double Dot4(const float* a, const float* b) {
  double dot = 0;
  for (int c = 0; c < 4; ++c) dot += static_cast<double>(a[c]) * b[c];
  return dot;
}

// How far `x` strays from the line from `a` to `b` at the fraction `u`, as a
// share of the tolerances (the largest over the components); the
// quaternions compared on the side of the one before.
double Stray(const Values& a, const Values& b, const Values& x, double u,
             const SampleTolerances& tolerances) {
  double stray = 0;
  const double b_sign = Dot4(&a[3], &b[3]) < 0 ? -1 : 1;
  double line[10];
  for (int c = 0; c < 10; ++c) {
    const double end = c >= 3 && c < 7 ? b_sign * b[c] : b[c];
    line[c] = a[c] + u * (end - a[c]);
  }
  double x_dot = 0;
  for (int c = 3; c < 7; ++c) x_dot += line[c] * x[c];
  const double x_sign = x_dot < 0 ? -1 : 1;
  for (int c = 0; c < 10; ++c) {
    const bool rotation = c >= 3 && c < 7;
    const double tolerance = c < 3      ? tolerances.translation
                             : rotation ? tolerances.rotation
                                        : tolerances.scale;
    const double d = std::fabs((rotation ? x_sign * x[c] : x[c]) - line[c]) / tolerance;
    if (!(d <= stray)) stray = std::isnan(d) ? 0 : d;
  }
  return stray;
}

struct Group {
  std::vector<std::size_t> members;  // indices into the requests
  std::vector<FramePoser::Request> requests;
  std::uint64_t cost = 0;                       // matrices a frame
  std::uint64_t own_keys = 0, target_keys = 0;  // bounds of the keys kept
  std::vector<std::size_t> turning;             // FramePoser::TurningNodes
};

std::uint64_t GridCount(const std::array<std::uint32_t, 2>& range, std::uint64_t step) {
  const std::uint64_t span = std::uint64_t{range[1]} - range[0];
  return span / step + 1 + (span % step != 0 ? 1 : 0);
}

// Samples one group of requests that share their frames.
class GroupSampler {
 public:
  // What the groups have made so far, in matrices.
  struct Work {
    std::uint64_t made = 0, refinement = 0;
  };

  GroupSampler(FramePoser& poser, const Group& group, const SampleTolerances& tolerances,
               const SamplingBudget& budget, Work& work, AnimationSampling& out)
      : poser_(poser),
        group_(group),
        tolerances_(tolerances),
        budget_(budget),
        work_(work),
        out_(out),
        pending_slack_(group.requests.size(), 0) {}

  // Samples the group at `frames` and within them, marking the frames in
  // each member's `keys` (sorted) as keys.
  void Sample(const std::vector<double>& frames,
              const std::vector<std::vector<std::uint32_t>>& keys) {
    Evaluation before, now;
    for (std::size_t i = 0; i < frames.size(); ++i) {
      now = Evaluate(frames[i]);
      if (i > 0) Refine(frames[i - 1], frames[i], before.values, now.values);
      for (std::size_t r = 0; r < now.values.size(); ++r) {
        const bool key = std::binary_search(keys[r].begin(), keys[r].end(), frames[i]);
        Append(r, frames[i], now.values[r], key);
      }
      out_.non_finite += now.non_finite;
      before = std::move(now);
    }
  }

 private:
  struct Evaluation {
    std::vector<Values> values;  // by member
    std::size_t non_finite = 0;
  };

  Evaluation Evaluate(double frame) {
    const std::uint64_t cost = poser_.PoseAt(frame, group_.requests);
    if (budget_.check && (work_.made + cost) / kCheckEvery != work_.made / kCheckEvery)
      budget_.check();
    work_.made += cost;
    Evaluation evaluation;
    for (const FramePoser::Request& request : group_.requests)
      evaluation.values.push_back(ValuesOf(poser_.MatrixOf(request), evaluation.non_finite));
    return evaluation;
  }

  // Whether the rotation tracks that turn the members may turn one too far
  // between a and b to be checked at the quarters (a world matrix turns by
  // at most the sum of its ancestors' turns).
  bool TurnsFar(double a, double b) const {
    double turn = 0;
    for (const std::size_t n : group_.turning) {
      turn += poser_.StoredCurves(n).TurnBound(a, b);
      if (turn > kLongestCheckedTurn) return true;
    }
    return false;
  }

  // Adds the samples between a and b (exclusive) that the curve needs.
  void Refine(double a, double b, const std::vector<Values>& va, const std::vector<Values>& vb) {
    const double length = b - a;
    std::fill(pending_slack_.begin(), pending_slack_.end(), 0.0);
    if (!(length > kShortestPiece)) return;
    if (work_.refinement + 3 * group_.cost > budget_.refinement) {
      out_.refined = false;
      return;
    }
    // The middle first: a piece that strays there is split without looking
    // at its quarters.
    Evaluation middle = Evaluate(a + length / 2);
    work_.refinement += group_.cost;
    if (!TurnsFar(a, b)) {
      std::vector<double> stray(va.size(), 0);
      double worst = 0;
      const auto measure = [&](const Evaluation& x, double u) {
        for (std::size_t r = 0; r < x.values.size(); ++r) {
          stray[r] = std::max(stray[r], Stray(va[r], vb[r], x.values[r], u, tolerances_));
          worst = std::max(worst, stray[r]);
        }
      };
      measure(middle, 0.5);
      for (const double u : {0.25, 0.75}) {
        if (worst > kRefinedShare) break;
        measure(Evaluate(a + u * length), u);
        work_.refinement += group_.cost;
      }
      if (worst <= kRefinedShare) {
        for (std::size_t r = 0; r < stray.size(); ++r)
          pending_slack_[r] = std::min(1.0, kStraySafety * stray[r]);
        return;
      }
    }
    const double m = a + length / 2;
    Refine(a, m, va, middle.values);
    for (std::size_t r = 0; r < middle.values.size(); ++r) Append(r, m, middle.values[r], false);
    out_.non_finite += middle.non_finite;
    Refine(m, b, middle.values, vb);
  }

  void Append(std::size_t r, double frame, Values values, bool key) {
    NodeSamples& samples = out_.nodes[group_.members[r]];
    if (!samples.rotations.empty()) {
      const float* previous = &samples.rotations[samples.rotations.size() - 4];
      if (Dot4(previous, &values[3]) < 0)
        for (int c = 3; c < 7; ++c) values[c] = -values[c];
    }
    const double slack = samples.frames.empty() ? 0 : pending_slack_[r];
    if (!samples.slack.empty()) samples.slack.back() = std::max(samples.slack.back(), slack);
    samples.frames.push_back(frame);
    samples.keys.push_back(key);
    samples.slack.push_back(slack);
    samples.translations.insert(samples.translations.end(), values.begin(), values.begin() + 3);
    samples.rotations.insert(samples.rotations.end(), values.begin() + 3, values.begin() + 7);
    samples.scales.insert(samples.scales.end(), values.begin() + 7, values.end());
    pending_slack_[r] = 0;
  }

  FramePoser& poser_;
  const Group& group_;
  const SampleTolerances& tolerances_;
  const SamplingBudget& budget_;
  Work& work_;
  AnimationSampling& out_;
  std::vector<double> pending_slack_;  // of the piece that the next sample ends
};

}  // namespace

std::vector<double> WholeFrames(const std::array<std::uint32_t, 2>& range, std::uint64_t step) {
  std::vector<double> frames;
  for (std::uint64_t f = range[0]; f <= range[1]; f += step)
    frames.push_back(static_cast<double>(f));
  if (frames.back() != range[1]) frames.push_back(range[1]);
  return frames;
}

AnimationSampling SampleAnimation(
    FramePoser& poser, const std::vector<FramePoser::Request>& requests,
    const std::function<std::vector<std::uint32_t>(std::size_t request, bool targets)>& key_frames,
    const std::array<std::uint32_t, 2>& range, const SampleTolerances& tolerances,
    const SamplingBudget& budget, const OtherSamples& others,
    const std::function<void(std::size_t request, const NodeSamples& samples)>& sampled) {
  AnimationSampling out;
  out.nodes.resize(requests.size());
  // A node whose matrix needs others' world matrices shares its frames
  // with every such node, so that each world matrix is made once a frame;
  // any other samples on its own.
  std::vector<Group> groups;
  Group shared;
  for (std::size_t r = 0; r < requests.size(); ++r) {
    const FramePoser::Request& request = requests[r];
    Group& group =
        request.world || poser.LooksAcross(request.node) ? shared : groups.emplace_back();
    group.members.push_back(r);
    group.requests.push_back(request);
    if (const NodeTracks* tracks = poser.CurvesOf(request.node).tracks())
      group.own_keys += KeyCount(*tracks);
    if (const NodeCurves* target = poser.TargetCurvesOf(request.node))
      if (target->tracks() != nullptr) group.target_keys += target->tracks()->position.keys.size();
  }
  if (!shared.members.empty()) groups.push_back(std::move(shared));
  for (Group& group : groups) {
    group.cost = poser.CostAt(group.requests);
    group.turning = poser.TurningNodes(group.requests);
  }

  // The base samples: every frame and key when they fit, else every
  // step-th frame and the keys, then only the nodes' own keys, then none.
  const std::uint64_t frames = std::uint64_t{range[1]} - range[0] + 1;
  const auto cost = [&](int keys_kept, std::uint64_t step) {
    std::uint64_t total = 0;
    for (const Group& group : groups) {
      const std::uint64_t keys = step == 1        ? 0
                                 : keys_kept == 2 ? group.own_keys + group.target_keys
                                 : keys_kept == 1 ? group.own_keys
                                                  : 0;
      total += group.cost * (GridCount(range, step) + keys);
    }
    return total + others.per_frame * GridCount(range, step) + (keys_kept > 0 ? others.keys : 0);
  };
  out.keys_kept = 2;
  out.step = 1;
  if (cost(2, 1) > budget.base) {
    while (out.keys_kept > 0 && cost(out.keys_kept, frames) > budget.base) --out.keys_kept;
    std::uint64_t low = 1, high = frames;  // cost(high) fits, or nothing does
    while (low + 1 < high) {
      const std::uint64_t middle = low + (high - low) / 2;
      (cost(out.keys_kept, middle) <= budget.base ? high : low) = middle;
    }
    out.step = static_cast<std::uint32_t>(high);
  }

  const std::vector<double> grid = WholeFrames(range, out.step);
  GroupSampler::Work work;
  for (const Group& group : groups) {
    std::vector<std::vector<std::uint32_t>> keys;
    std::vector<double> base = grid;
    for (const std::size_t r : group.members) {
      keys.push_back(out.keys_kept == 0 ? std::vector<std::uint32_t>{}
                                        : key_frames(r, out.keys_kept == 2));
      for (const std::uint32_t f : keys.back())
        if (f >= range[0] && f <= range[1]) base.push_back(f);
    }
    std::sort(base.begin(), base.end());
    base.erase(std::unique(base.begin(), base.end()), base.end());
    GroupSampler sampler(poser, group, tolerances, budget, work, out);
    sampler.Sample(base, keys);
    for (const std::size_t r : group.members) {
      sampled(r, out.nodes[r]);
      out.nodes[r] = {};
    }
  }
  return out;
}

}  // namespace torvik::gltf_build
