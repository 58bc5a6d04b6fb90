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

// Lights and a camera aimed as 3ds Max writes them, over frames 0 to 20, in
// the file's axes (z up), with a shiny material (shininess strength, so
// KHR_materials_specular):
//   node 0 "Floor", a slab (-5, -5, -0.2) to (5, 5, 0) at the edit pose;
//   node 1 "Post", a box stored about the origin (-0.5, -0.5, 0) to (0.5,
//   0.5, 3), placed at (30, 0, 0): the placed model's box is (-5, -5, -0.2)
//   to (30.5, 5, 3), its middle (12.75, 0, 1.4);
//   node 2, a dummy "Rig" moving from (0, 0, 4) to (10, 5, 4) and turning
//   by 1 radian about z (rotation keys at 0 and 20);
//   node 3, the target of camera "Cam", before its camera and under the
//   rig, at (2, 0, 0) in the rig's frame;
//   node 4, camera "Cam", moving from (-10, -10, 8) to (-12, 6, 9);
//   node 5, the target of spotlight "Spot" at (3, 3, 0), before it;
//   node 6, spotlight "Spot" at (-6, 6, 10), hotspot keys 20 then 30
//   degrees (at frames 0 and 10), falloff 40;
//   node 7, spotlight "Wide" under the post at (0, 0, 5) in its frame,
//   hotspot 190 and falloff 200 degrees (a cone past a half turn);
//   node 8, the target of "Wide" at the origin, after it;
//   node 9, omni light "Lamp" at (5, -5, 10), multiplier 1.5, colour keys
//   white then (1, 0.5, 0.2) at frames 0 and 20.
AnimatedScene AimedLightsDemo();

std::vector<std::uint8_t> BuildFile(const AnimatedScene& scene);

}  // namespace t3ds
