// How the exports turn BMF's conventions into those of the right-handed,
// y-up formats they write (glTF and Wavefront OBJ): axes, winding and
// opacity.  Both exports use these and nothing else for the purpose.
//
// BMF keeps the 3DS file's x, takes the file's z as y and the file's y as z,
// and reverses every triangle's corners: the axes of a left-handed renderer.
// Read as right-handed, that is the model's mirror image.  Negating z (of
// positions and normals) and reversing the corners again turns it back into
// the model as authored: a point at the file's (x, y, z) lands on (x, z, -y),
// a rotation that puts the file's z axis up, and front faces stay front faces.
#pragma once

#include <array>

#include "torvik32c/bmf.h"

namespace torvik {

enum class ExportAxes {
  authored,  // right-handed, y up: the model as it was authored
  bmf,       // as stored in the BMF file (a mirror image in right-handed viewers)
};

// The vertex's position in the export's axes.
std::array<float, 3> ExportPosition(const BMF_UNVERTEX& vertex, ExportAxes axes);

// The vertex's stored normal in the export's axes (not normalised).
std::array<float, 3> ExportNormal(const BMF_UNVERTEX& vertex, ExportAxes axes);

// The triangle's corners in the order the export writes them, so that they
// turn counter-clockwise seen from the front in a right-handed viewer.
std::array<uword, 3> ExportCorners(const BMF_SURFACE& triangle, ExportAxes axes);

// The opacity a BMF alpha stands for.  BMF's alpha is the 3DS transparency
// as a fraction (0.4 for 40 % transparent), 1.0 for a transparency of 0 %
// or 1 %, and 0.0 for a material without a transparency chunk.  So alpha
// strictly between 0 and 1 gives 1 - alpha; 0, 1 and anything else (outside
// that range or not a number) give 1, an opaque material.
float OpacityOf(float alpha);

// The opacity of a 3DS material as authored, for the scene export, which
// has the stored transparency (H3dsMat::transparency, percent / 100)
// rather than BMF's alpha: 1 - transparency in [0, 1], so that 100 %
// transparent is fully transparent and 1 % is 0.99; a transparency below 0
// (or not a number) gives 1, above 1 gives 0.
float OpacityOfTransparency(float transparency);

}  // namespace torvik
