// The curves of the keyframer's tracks (keyframer_tracks.h states the
// conventions): a track's value at any frame, from the converter's own
// arithmetic, so that every build gives the same numbers.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "torvik32c/keyframer.h"
#include "torvik32c/keyframer_tracks.h"

namespace torvik {

// The stored angle turns the other way round from the rotation the node
// makes: with this sign, a node at the edit pose gives back the stored
// vertices.
inline constexpr double kRotationSign = -1;

// The frame a track reads at `frame`: `frame` itself, or for a repeating
// track past its last key, the frame as far into its keys' span.
double TrackFrame(double frame, std::uint32_t first, std::uint32_t last, uword flags);

// The fraction `u` in [0, 1] of the time between two keys, remapped by the
// first key's ease from and the second's ease to.
double Eased(double u, double ease_from, double ease_to);

// The value of a track of N numbers at `frame`: the key's own value at a
// key, its first key's before it, its last key's after it (unless it
// repeats).  The track must have keys.
template <std::size_t N>
std::array<double, N> ValueAt(const Track<N>& track, double frame);

// Whether a hide track hides its node at `frame`.
bool HiddenAt(const HideTrack& track, double frame);

// A unit quaternion (x, y, z, w).
using Quaternion = std::array<double, 4>;

// The rotation track's orientations: each key's, accumulated from the
// first, and the spline between them in the logarithm of the turn from the
// key before (the keys' own angles, however large).
class RotationCurve {
 public:
  explicit RotationCurve(const Track<4>& track);

  // The rotation at `frame`, as the linear part of an affine map: at or
  // before the first key exactly what the placement at frame 0 makes of
  // that key (Rotation of minus its angle about its axis).
  Affine At(double frame) const;
  // The orientation at `frame` as a quaternion.
  Quaternion OrientationAt(double frame) const;
  // An angle (radians) that the turn from the orientation at `from` to
  // any orientation up to `to` does not pass (from <= to): the spline's
  // speed in the logarithm bounds it; infinite where a repeating track
  // starts again in between.
  double TurnBound(double from, double to) const;

 private:
  const Track<4>& track_;
  std::vector<Quaternion> orientation_;  // of each key
  // Of each key, in its own frame: the turn that reaches it from the key
  // before (for the first key, from its last when the track loops), and
  // the tangents that leave it and that arrive at it.
  std::vector<std::array<double, 3>> turn_, leaving_, arriving_;
  // Of each key, the tangent that arrives at it in the frame of the key
  // before.
  std::vector<std::array<double, 3>> arriving_before_;
};

// The linear part of an affine map that turns as `q` does.
Affine RotationOf(const Quaternion& q);

}  // namespace torvik
