// A small model that only its keyframer puts together: what 3ds2bmf
// --keyframer changes, for the README's pictures and the tests.
#pragma once

#include <vector>

#include "threeds_builder.h"

namespace t3ds {

struct Scene {
  std::vector<Material> materials;
  std::vector<Mesh> meshes;
  std::vector<Node> nodes;
};

// A gate, as stored: one pillar, the roof lying on the ground, the door
// shut, a small crate and a block made by mirroring.  Its keyframer draws
// a second pillar (an instance), lifts the roof onto the pillars (a child of
// a dummy), swings the door open about its hinge (a pivot and a rotation),
// scales the crate up by 1.5, and draws the mirrored block a second time
// with a placement of negative determinant.
//   node 0 "Pillar" at the edit pose, node 1 its instance "Pillar.2" 6 to +x;
//   node 2 "$$$DUMMY" "Frame" at z = 2, node 3 "Roof" 1 above it;
//   node 4 "Door", pivot (-1, 0, 0), at (-1, 0, 0), turned 60 degrees
//   clockwise seen from above; node 5 "Crate" scaled 1.5 about (0, 3, 0);
//   node 6 "Block" at the edit pose (mirrored by its matrix and its scale),
//   node 7 its instance "Block.2", unmirrored by the node, 3 to -y.
Scene KeyframerDemo();

}  // namespace t3ds
