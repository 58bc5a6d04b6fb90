// The keyframer's animation: every key of each node's tracks, the frame
// range, and the scene's placement at any frame.
//
// Conventions (those of the files that 3D Studio and its successors write):
// - A key stands at a whole frame.  Between two keys a track follows a
//   Kochanek-Bartels (TCB) spline: the tangents at each key weigh the
//   differences to the keys before and after it by the key's tension,
//   continuity and bias (each 0 unless the key's flags give it, in
//   [-1, 1]), scaled for unevenly spaced keys; the first and last keys'
//   missing neighbour takes the one difference they have.  Ease: the time
//   between keys k and k + 1 is remapped so that the motion starts slowly
//   over k's "ease from" and ends slowly over k + 1's "ease to" (each in
//   [0, 1], the two scaled down to sum to 1 at most).
// - Before its first key a track holds the first key's value, after its
//   last key the last key's; a repeating track (flags bit 1) instead runs
//   its keys again from the first, every (last - first) frames, and a
//   looping one (bits 0 and 1) also joins its ends smoothly: the first
//   key's tangent uses the last segment and the last key's the first.
// - Rotation keys hold an angle in radians and an axis.  The first key is
//   the node's orientation; each later key turns the orientation of the key
//   before it by its angle about its axis, the axis taken in the parent's
//   frame (q[k] = r[k] q[k - 1]), so a track of 182 small keys turns the
//   node by the signed sum of their angles.  A key of more than half a turn
//   turns that far between its keys: the spline runs in the rotation's
//   logarithm from the key before, never by the shortest way.  The stored
//   angle turns clockwise about the axis (the placement's kRotationSign).
// - A hide track's keys switch the node between shown and hidden: shown
//   before the first key, hidden from it until the next, and so on.
// - The field of view and roll are in degrees.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "torvik32c/export.h"
#include "torvik32c/keyframer.h"
#include "torvik32c/types.h"

namespace torvik {

// A key's spline parameters: each 0 unless the key's flag bits say the file
// gives it (bit 0 tension, 1 continuity, 2 bias, 3 ease to, 4 ease from).
struct KeySpline {
  float32 tension = 0, continuity = 0, bias = 0, ease_to = 0, ease_from = 0;
};

template <std::size_t N>
struct TrackKey {
  std::uint32_t frame = 0;
  KeySpline spline;
  std::array<float32, N> value{};
};

// The bits of a track's flag word that say what it does past its last key.
inline constexpr uword kTrackRepeats = 0x0002;
inline constexpr uword kTrackLoops = 0x0003;  // both bits: repeats with its ends joined

// A track's keys, their frames strictly increasing and their numbers finite
// (the reader drops the others, with a warning).
template <std::size_t N>
struct Track {
  uword flags = 0;  // the track's flag word as stored
  std::vector<TrackKey<N>> keys;
};

// The keys of a hide track: only their frames count.
struct HideTrack {
  uword flags = 0;
  std::vector<std::uint32_t> frames;
};

// Every track of one node, as stored.
struct NodeTracks {
  Track<3> position;  // 0xB020
  Track<4> rotation;  // 0xB021: the angle, then the axis
  Track<3> scale;     // 0xB022
  Track<1> fov;       // 0xB023, cameras: the horizontal field of view in degrees
  Track<1> roll;      // 0xB024, cameras and spotlights: degrees
  HideTrack hide;     // 0xB029
  // Lights: the colour (0xB025, as the light's), a spotlight's hotspot and
  // falloff (0xB027, 0xB028: degrees across).
  Track<3> color;
  Track<1> hotspot, falloff;
};

// The keyframer's animation, read with ReadOptions::animation.
struct KeyframerAnimation {
  // The frames the animation plays (0xB008), when the file gives them.
  std::optional<std::array<std::uint32_t, 2>> range;
  std::optional<std::uint32_t> current_frame;  // 0xB009
  // One entry per H3dsScene::nodes entry, in the same order; empty when the
  // tracks were not read or the keyframer was ignored.
  std::vector<NodeTracks> tracks;
};

// Where a camera or spotlight at `eye` looking at `target` stands and turns,
// as the keyframer's camera and spotlight nodes place them: T(eye), then
// its local -z axis along the view, y up (towards the file's z axis, or
// its y axis when the view is along z), rolled by `roll` degrees about the
// view.  Just T(eye) when the two points coincide.
TORVIK_API Affine LookingAt(const float32 (&eye)[3], const float32 (&target)[3], double roll);

// How many keys the tracks of a node keep that move, hide, zoom or roll it:
// the sum over its position, rotation, scale, field-of-view, roll and hide
// tracks (a light's colour, hotspot and falloff keys are left out).
TORVIK_API std::size_t KeyCount(const NodeTracks& tracks);

// The frames an animation plays: the keyframer's range (0xB008) when the
// file gives one, else from frame 0 to the last key of any track.
TORVIK_API std::array<std::uint32_t, 2> AnimationFrames(const KeyframerAnimation& animation);

// The nodes of a placement over the frames: what an export of the
// animation samples.  Node indices are those of ScenePlacement::nodes.
class TORVIK_API NodeAnimation {
 public:
  // `scene` and `placement` (PlaceScene's) must outlive the object.
  NodeAnimation(const H3dsScene& scene, const ScenePlacement& placement);
  ~NodeAnimation();
  NodeAnimation(const NodeAnimation&) = delete;
  NodeAnimation& operator=(const NodeAnimation&) = delete;

  // Whether the node's local matrix changes over the frames: a position,
  // rotation, scale or (for a camera or spotlight) roll track of more than
  // one key, or for a camera or spotlight its target's position track, or
  // for one whose target hangs from another parent, a change in either
  // parent's world matrix.
  bool Moves(std::size_t node) const;
  // Whether the node has a hide track.
  bool Hides(std::size_t node) const;
  // The node's local matrix at `frame`: at a frame where its tracks hold
  // their first keys, PlaceScene's, bit for bit.
  Affine LocalAt(std::size_t node, double frame) const;
  bool HiddenAt(std::size_t node, double frame) const;
  // The frames of the keys that move or hide the node (its own tracks' and
  // its target's), in order, each once.
  std::vector<std::uint32_t> KeyFrames(std::size_t node) const;
  // The node's stored tracks, or none.
  const NodeTracks* TracksOf(std::size_t node) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The keyframer's placement at `frame`: PlaceScene's, with each node's
// tracks evaluated at that frame (and each node's `hidden` set).  Nodes
// without tracks (a scene read without ReadOptions::animation) keep their
// first keys, as PlaceScene places them; at a frame where every track holds
// its first key the matrices are PlaceScene's, bit for bit.
TORVIK_API ScenePlacement PlaceSceneAt(const H3dsScene& scene, double frame,
                                       const NameDecoder& names = {});

}  // namespace torvik
