// Synthetic models of known size for the benchmarks and the golden-output
// test.  No vertex is shared by more than six faces (which every peer reader
// copes with), and a preset is the same bytes on every run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace t3ds {

// small    1,000 faces: one torus on two materials, one of them two-sided
// medium   200,000 faces: 20 tori, 8 materials, 2 two-sided
// large    2,000,000 faces: 64 tori, 16 materials, 4 two-sided
// manymat  800,000 faces: 5,000 small tori, each split by face-material
//          groups among 4 of 5,000 materials (1,250 two-sided)
// bigmat   2,400,000 faces: 40 helical bands of 60,000 vertices (a closed
//          surface of 60,000 vertices would need more faces than a 3DS mesh
//          holds), all on one material, which the writer splits into blocks
const std::vector<std::string>& PresetNames();

// The 3DS bytes of the named preset, or of "xlarge" (4,192,256 faces: large
// with tori of 181 x 181, for the cost per face on twice large's size; not
// a preset, so not in the golden test), or of "instances" (983,040 faces:
// 4,096 tori of 240 faces on 16 materials that the keyframer turns, scales
// and moves, in groups of eight under a dummy, every eighth drawn once more
// by an instance; not a preset either).  Throws std::invalid_argument for
// any other name.
std::vector<std::uint8_t> BuildPreset(std::string_view name);

}  // namespace t3ds
