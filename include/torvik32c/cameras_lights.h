// The cameras and lights of a 3DS scene's mesh editor, as stored: each one
// an object block (0x4000) holding a camera (0x4700) or a light (0x4600)
// instead of a mesh, in the file's axes.  Read with
// ReadOptions::cameras_and_lights; the keyframer's camera, light and target
// nodes of the same name place and animate them.
#pragma once

#include <string>

#include "torvik32c/export.h"
#include "torvik32c/types.h"

namespace torvik {

struct H3dsCamera {
  std::string name;  // the object block's name
  float32 position[3] = {0, 0, 0};
  float32 target[3] = {0, 0, 0};
  float32 roll = 0;   // degrees about the line of sight
  float32 lens = 50;  // focal length in millimetres
};

struct H3dsLight {
  std::string name;  // the object block's name
  float32 position[3] = {0, 0, 0};
  // 0x0010 (floats) or 0x0011 (bytes / 255); white without one.
  float32 color[3] = {1, 1, 1};
  float32 multiplier = 1;  // 0x465B
  bool off = false;        // 0x4620
  // 0x4625: the light fades linearly from `inner_range` (0x4659) to
  // nothing at `outer_range` (0x465A), in the file's units.
  bool attenuated = false;
  float32 inner_range = 0, outer_range = 0;
  // 0x4610: a spotlight aimed at `target`, with full cone angles in
  // degrees: full strength within `hotspot`, none beyond `falloff`.
  bool spot = false;
  float32 target[3] = {0, 0, 0};
  float32 hotspot = 0, falloff = 0;
  float32 roll = 0;  // 0x4656, degrees
};

// The horizontal field of view, in degrees, of a lens of `lens` millimetres,
// as 3D Studio relates them: 2400 / lens, so that a 50 mm lens sees 48
// degrees and the 53.33 mm that its files store for their 45-degree
// cameras sees 45.  (It is no film's: 36 mm film would see 39.6 degrees
// through 50 mm.)  A lens that is not a positive number is taken as 50 mm.
TORVIK_API double LensFieldOfView(float32 lens);

}  // namespace torvik
