// Scenes whose keyframer places meshes in every way it can, for the tests
// that compare builds and the export's options: rotations at angles small and
// large about many axes, pivots, local-axis matrices (mirrored ones too), a
// hierarchy, dummies and instances.
#pragma once

#include "keyframer_demo.h"

namespace t3ds {

// 36 meshes (tori, boxes and cylinders, slightly shaken) in local frames
// turned about many axes, every third one mirrored; their nodes turn them by
// angles from 1e-6 to 1e4 radians about many axes, with pivots, scales
// (negative ones too), parents, a dummy, and every fifth mesh drawn by a
// second node.
Scene PlacementTrial();

// Six closed meshes: a box, a torus and a cylinder whose faces turn inward
// (wound clockwise seen from outside), then the same three turned outward;
// every other one stored in a mirrored frame, the third and the sixth
// mirrored by their node, and each drawn a second time by a mirroring
// instance.
Scene InwardAndOutward();

}  // namespace t3ds
