// Kochanek-Bartels splines with ease, for vectors and for rotations.
#include "track_curves.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "affine.h"
#include "base/portable_math.h"

namespace torvik {

namespace {

using Vector3 = std::array<double, 3>;

// The index of the last key at or before `frame` (keys.front().frame <=
// frame < keys.back().frame).
template <class Keys, class FrameOf>
std::size_t SegmentOf(const Keys& keys, double frame, FrameOf frame_of) {
  const auto after = std::upper_bound(
      keys.begin(), keys.end(), frame,
      [&](double f, const auto& key) { return f < static_cast<double>(frame_of(key)); });
  return static_cast<std::size_t>(after - keys.begin()) - 1;
}

// The weights that make a key's tangents from the differences to the keys
// before and after it (`into` and `out_of`), `before` and `after` frames
// away; without one of the neighbours (0 frames) the other difference
// stands for both.  `arriving` is the tangent at the end of the segment
// that reaches the key, `leaving` at the start of the one that leaves it.
struct TangentWeights {
  double arriving_into, arriving_out, leaving_into, leaving_out;
};

TangentWeights WeightsOf(const KeySpline& spline, double before, double after) {
  double fp = 1, fn = 1;
  if (before > 0 && after > 0) {
    // Unevenly spaced keys: each tangent scaled to its segment's length;
    // continuity evens them out again.
    const double half = 0.5 * (before + after);
    const double c = std::fabs(static_cast<double>(spline.continuity));
    fp = before / half;
    fn = after / half;
    fp = fp + c - c * fp;
    fn = fn + c - c * fn;
  }
  const double tm = 0.5 * (1.0 - spline.tension);
  const double cm = 1.0 - spline.continuity, cp = 2.0 - cm;
  const double bm = 1.0 - spline.bias, bp = 2.0 - bm;
  return {tm * cm * bp * fp, tm * cp * bm * fp, tm * cp * bp * fn, tm * cm * bm * fn};
}

// The cubic Hermite basis at u: the weights of the start value, the end
// value, the start's tangent and the end's tangent.
std::array<double, 4> Hermite(double u) {
  const double u2 = u * u, u3 = u2 * u;
  return {2 * u3 - 3 * u2 + 1, -2 * u3 + 3 * u2, u3 - 2 * u2 + u, u3 - u2};
}

// A key's neighbours: the keys before and after it, by index, and the
// frames between; for a looping track the ends see round the loop.
struct Neighbours {
  std::ptrdiff_t before = -1, after = -1;  // -1: none
  double frames_before = 0, frames_after = 0;
};

template <class Keys>
Neighbours NeighboursOf(const Keys& keys, std::size_t k, bool loops) {
  Neighbours n;
  const std::size_t last = keys.size() - 1;
  const auto gap = [&](std::size_t a, std::size_t b) {
    return static_cast<double>(keys[b].frame) - static_cast<double>(keys[a].frame);
  };
  if (k > 0) {
    n.before = static_cast<std::ptrdiff_t>(k - 1);
    n.frames_before = gap(k - 1, k);
  } else if (loops && last > 0) {
    // Before the first key comes the last segment.
    n.before = static_cast<std::ptrdiff_t>(last - 1);
    n.frames_before = gap(last - 1, last);
  }
  if (k < last) {
    n.after = static_cast<std::ptrdiff_t>(k + 1);
    n.frames_after = gap(k, k + 1);
  } else if (loops && last > 0) {
    n.after = 1;
    n.frames_after = gap(0, 1);
  }
  return n;
}

bool Loops(uword flags) { return (flags & kTrackLoops) == kTrackLoops; }

Quaternion Multiply(const Quaternion& a, const Quaternion& b) {
  return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1],
          a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
          a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3],
          a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

Quaternion Conjugate(const Quaternion& q) { return {-q[0], -q[1], -q[2], q[3]}; }

// The vector v turned by the unit quaternion q.
Vector3 Turned(const Quaternion& q, const Vector3& v) {
  const Quaternion p = Multiply(Multiply(q, {v[0], v[1], v[2], 0}), Conjugate(q));
  return {p[0], p[1], p[2]};
}

// The unit quaternion whose logarithm is v: a turn by 2 |v| about v.
Quaternion Exponential(const Vector3& v) {
  const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (length == 0) return {0, 0, 0, 1};
  const double s = Sin(length) / length;
  return {v[0] * s, v[1] * s, v[2] * s, Cos(length)};
}

double Length(const Vector3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

Vector3 Combined(double a, const Vector3& x, double b, const Vector3& y) {
  return {a * x[0] + b * y[0], a * x[1] + b * y[1], a * x[2] + b * y[2]};
}

// The key's turn as a logarithm in the parent's frame: half its angle
// about its axis, signed as the placement turns (kRotationSign); none for
// an axis of no length.
Vector3 TurnOf(const TrackKey<4>& key) {
  const double x = key.value[1], y = key.value[2], z = key.value[3];
  const double length = std::sqrt(x * x + y * y + z * z);
  if (!(length > 0) || !std::isfinite(length)) return {0, 0, 0};
  const double half = -0.5 * static_cast<double>(key.value[0]) / length;
  return {x * half, y * half, z * half};
}

}  // namespace

double TrackFrame(double frame, std::uint32_t first, std::uint32_t last, uword flags) {
  if ((flags & kTrackRepeats) == 0 || last <= first || !(frame > last)) return frame;
  const double span = static_cast<double>(last) - first;
  return first + std::fmod(frame - first, span);
}

double Eased(double u, double ease_from, double ease_to) {
  double a = std::clamp(ease_from, 0.0, 1.0), b = std::clamp(ease_to, 0.0, 1.0);
  const double sum = a + b;
  if (sum == 0) return u;
  if (sum > 1) a /= sum, b /= sum;
  // Speed rising linearly over the first `a` of the time, steady, then
  // falling over the last `b`: the distance covered, normalised.
  const double k = 1 / (2 - a - b);
  if (u < a) return k / a * u * u;
  if (u < 1 - b) return k * (2 * u - a);
  const double rest = 1 - u;
  return 1 - k / b * rest * rest;
}

template <std::size_t N>
std::array<double, N> ValueAt(const Track<N>& track, double frame) {
  const auto& keys = track.keys;
  const auto frame_of = [](const TrackKey<N>& key) { return key.frame; };
  const auto value = [&](std::size_t k) {
    std::array<double, N> v;
    for (std::size_t i = 0; i < N; ++i) v[i] = keys[k].value[i];
    return v;
  };
  const double t = TrackFrame(frame, keys.front().frame, keys.back().frame, track.flags);
  if (!(t > keys.front().frame)) return value(0);
  if (!(t < keys.back().frame)) return value(keys.size() - 1);
  const std::size_t k = SegmentOf(keys, t, frame_of);
  if (t == keys[k].frame) return value(k);
  const bool loops = Loops(track.flags);
  // The tangents at the segment's two ends.
  const auto difference = [&](std::ptrdiff_t from, std::ptrdiff_t to) {
    std::array<double, N> d;
    for (std::size_t i = 0; i < N; ++i)
      d[i] = static_cast<double>(keys[static_cast<std::size_t>(to)].value[i]) -
             keys[static_cast<std::size_t>(from)].value[i];
    return d;
  };
  const auto tangent = [&](std::size_t key, bool leaving) {
    const Neighbours n = NeighboursOf(keys, key, loops);
    // A loop's first key is reached from the last segment, its last key
    // leaves by the first.
    const std::array<double, N> into =
        n.before < 0 ? difference(static_cast<std::ptrdiff_t>(key), n.after)
        : key == 0   ? difference(n.before, n.before + 1)
                     : difference(n.before, static_cast<std::ptrdiff_t>(key));
    const std::array<double, N> out = n.after < 0 ? into
                                      : key + 1 == keys.size()
                                          ? difference(0, 1)
                                          : difference(static_cast<std::ptrdiff_t>(key), n.after);
    const TangentWeights w = WeightsOf(keys[key].spline, n.frames_before, n.frames_after);
    std::array<double, N> result;
    for (std::size_t i = 0; i < N; ++i)
      result[i] = leaving ? w.leaving_into * into[i] + w.leaving_out * out[i]
                          : w.arriving_into * into[i] + w.arriving_out * out[i];
    return result;
  };
  const double u =
      Eased((t - keys[k].frame) / (static_cast<double>(keys[k + 1].frame) - keys[k].frame),
            keys[k].spline.ease_from, keys[k + 1].spline.ease_to);
  const std::array<double, 4> h = Hermite(u);
  const std::array<double, N> start = value(k), end = value(k + 1);
  const std::array<double, N> leaving = tangent(k, true), arriving = tangent(k + 1, false);
  std::array<double, N> result;
  for (std::size_t i = 0; i < N; ++i)
    result[i] = h[0] * start[i] + h[1] * end[i] + h[2] * leaving[i] + h[3] * arriving[i];
  return result;
}

template std::array<double, 1> ValueAt(const Track<1>&, double);
template std::array<double, 3> ValueAt(const Track<3>&, double);

bool HiddenAt(const HideTrack& track, double frame) {
  const std::vector<std::uint32_t>& frames = track.frames;
  if (frames.empty()) return false;
  const double t = TrackFrame(frame, frames.front(), frames.back(), track.flags);
  if (t < frames.front()) return false;
  const std::size_t switches =
      SegmentOf(frames, t, [](std::uint32_t f) { return f; }) + 1;  // keys at or before t
  return switches % 2 == 1;
}

RotationCurve::RotationCurve(const Track<4>& track) : track_(track) {
  const auto& keys = track.keys;
  const std::size_t count = keys.size();
  orientation_.resize(count);
  turn_.resize(count);
  leaving_.resize(count);
  arriving_.resize(count);
  if (count == 0) return;
  // Each key turns the orientation of the one before in the parent's frame:
  // q[k] = r[k] q[k - 1] = q[k - 1] r'[k], with r'[k] the same turn about
  // the axis as the key before sees it.
  orientation_[0] = Exponential(TurnOf(keys[0]));
  for (std::size_t k = 1; k < count; ++k) {
    const Vector3 turn = TurnOf(keys[k]);
    turn_[k] = Turned(Conjugate(orientation_[k - 1]), turn);
    orientation_[k] = Multiply(Exponential(turn), orientation_[k - 1]);
  }
  const bool loops = Loops(track.flags);
  if (loops && count > 1) turn_[0] = turn_[count - 1];
  // The turns into and out of a key are both seen from the key itself: a
  // turn leaves its own axis where it is.
  for (std::size_t k = 0; k < count; ++k) {
    const Neighbours n = NeighboursOf(keys, k, loops);
    const bool has_into = n.before >= 0, has_out = n.after >= 0;
    const Vector3 out = k + 1 < count ? turn_[k + 1] : has_out ? turn_[1] : Vector3{0, 0, 0};
    const Vector3 into = has_into ? turn_[k] : out;
    const TangentWeights w = WeightsOf(keys[k].spline, n.frames_before, n.frames_after);
    const Vector3 out_or_into = has_out ? out : into;
    leaving_[k] = Combined(w.leaving_into, into, w.leaving_out, out_or_into);
    arriving_[k] = Combined(w.arriving_into, into, w.arriving_out, out_or_into);
  }
  // The tangent arriving at each key brought into the frame of the key
  // before, once for every frame of the segment.
  arriving_before_.resize(count);
  for (std::size_t k = 1; k < count; ++k)
    arriving_before_[k] = Turned(Exponential(turn_[k]), arriving_[k]);
}

Quaternion RotationCurve::OrientationAt(double frame) const {
  const auto& keys = track_.keys;
  const double t = TrackFrame(frame, keys.front().frame, keys.back().frame, track_.flags);
  if (!(t > keys.front().frame)) return orientation_.front();
  if (!(t < keys.back().frame)) return orientation_.back();
  const std::size_t k = SegmentOf(keys, t, [](const TrackKey<4>& key) { return key.frame; });
  if (t == keys[k].frame) return orientation_[k];
  const double u =
      Eased((t - keys[k].frame) / (static_cast<double>(keys[k + 1].frame) - keys[k].frame),
            keys[k].spline.ease_from, keys[k + 1].spline.ease_to);
  const std::array<double, 4> h = Hermite(u);
  // In the logarithm, from key k: the turn to k + 1 and the two tangents,
  // the arriving one brought from k + 1's frame into k's.
  const Vector3& arriving = arriving_before_[k + 1];
  Vector3 log;
  for (int i = 0; i < 3; ++i)
    log[i] = h[1] * turn_[k + 1][i] + h[2] * leaving_[k][i] + h[3] * arriving[i];
  return Multiply(orientation_[k], Exponential(log));
}

double RotationCurve::TurnBound(double from, double to) const {
  const auto& keys = track_.keys;
  const double first = keys.front().frame, last = keys.back().frame;
  if ((track_.flags & kTrackRepeats) != 0 && last > first && to > last) {
    // Past its last key the track starts again every `span` frames: just
    // after `last`, and at each `last` + n `span`.
    const double span = last - first, u = (from - last) / span, v = (to - last) / span;
    if (!(u > 0) || std::floor(u) != std::floor(v) || v == std::floor(v))
      return std::numeric_limits<double>::infinity();
  }
  const double a = TrackFrame(from, keys.front().frame, keys.back().frame, track_.flags);
  const double b = TrackFrame(to, keys.front().frame, keys.back().frame, track_.flags);
  const auto frame_of = [](const TrackKey<4>& key) { return key.frame; };
  double bound = 0;
  for (double t = std::max(a, first); t < std::min(b, last);) {
    const std::size_t k = SegmentOf(keys, t, frame_of);
    const double start = keys[k].frame, end = keys[k + 1].frame;
    const double upto = std::min(b, end);
    // The logarithm moves by at most (1.5 |turn| + |leaving| + |arriving|)
    // per unit of the eased fraction, which runs at most twice as fast as
    // time; a turn is twice its logarithm's length.
    const double speed =
        1.5 * Length(turn_[k + 1]) + Length(leaving_[k]) + Length(arriving_[k + 1]);
    bound += 4 * speed * (upto - t) / (end - start);
    t = upto;
  }
  return bound;
}

Affine RotationCurve::At(double frame) const {
  const auto& keys = track_.keys;
  const TrackKey<4>& first = keys.front();
  const double t = TrackFrame(frame, first.frame, keys.back().frame, track_.flags);
  if (!(t > first.frame))
    return Rotation(kRotationSign * first.value[0], first.value[1], first.value[2], first.value[3]);
  return RotationOf(OrientationAt(frame));
}

Affine RotationOf(const Quaternion& q) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  return {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),     0,
          2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),     0,
          2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y), 0};
}

}  // namespace torvik
