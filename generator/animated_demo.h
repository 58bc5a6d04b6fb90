// A small model whose keyframer moves it: a parent that turns, a child that
// moves along it, an object that hides for a while, a camera that follows
// the child, and two lights; for the README's frames and the tests.
#pragma once

#include <cstdint>
#include <vector>

#include "keyframer_demo.h"

namespace t3ds {

// A turntable over 120 frames (0xB008: 0 to 120), in the file's axes (z up):
//   node 0 "Ground", a slab at the edit pose, never moving;
//   node 1 "Arm", pivot (0.5, 0, 0), at (0.5, 0, 1), turning a full turn
//   counter-clockwise seen from above: rotation keys at frames 0 (none),
//   40, 80 and 120, each 2pi/3 about (0, 0, -1) relative to the key
//   before;
//   node 2 "Rider", a child of the arm (its position in the arm's frame):
//   keys A = (3.5, 0, 0.7) at frame 0 with ease from 0.5, B = (2, 0, 1.7)
//   at frame 60 with tension 0.5, C = (3.5, 0, 1.2) at frame 120;
//   node 3 "Flag", hidden from frame 60 to frame 90 (hide keys at 60 and
//   90);
//   camera "Chase" at (9, -9, 6) looking at the rider, lens 50 mm, with a
//   camera node 4 (position keys at 0, 60, 120; a field-of-view key of 48
//   degrees) and a target node 5 that follows the rider (keys every 30
//   frames);
//   omni light "Lamp" at (-5, -4, 8), colour (1, 0.9, 0.8), multiplier
//   1.2, node 6; spotlight "Spot" at (6, 6, 9) aimed at the origin,
//   hotspot 30 and falloff 45 degrees, colour (0.6, 0.7, 1), nodes 7 (the
//   spotlight) and 8 (its target).
struct AnimatedScene {
  Scene scene;
  SceneExtras extras;
};

AnimatedScene AnimatedDemo();

std::vector<std::uint8_t> BuildFile(const AnimatedScene& scene);

}  // namespace t3ds
