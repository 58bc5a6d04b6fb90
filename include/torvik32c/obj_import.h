// The Wavefront OBJ reader (torvik_objload): an OBJ file with the material
// libraries it names beside it, as the scene the conversion turns into a
// model (model_import.h).
//
// What it reads: v, vt and vn; f as polygons fanned into triangles (corners
// by positive or negative indices, with or without texture coordinates);
// usemtl groups as face-material groups, and from the .mtl files newmtl,
// Kd, Ka, Ks, d, Tr and map_Kd.  Lines and points (l, p) are left out with
// a warning, other statements ignored.  The axes are those bmftool obj
// writes (y up): the inverse of its export, so that a BMF exported to OBJ
// reads back as itself.  The whole file is one mesh (split where it holds
// more vertices than a scene mesh); a vertex is a position with its texture
// coordinates (and, with ImportOptions::file_normals, its normal) as the
// faces pair them.
#pragma once

#include <span>

#include "torvik32c/model_import.h"

namespace torvik {

// Reads the OBJ file whose bytes are `bytes`.  Throws ImportError
// ("OBJ line 12: ...", "OBJ house.mtl line 3: ...") and Cancelled.
ImportedScene ReadObjScene(std::span<const byte> bytes, const ImportOptions& options = {});

}  // namespace torvik
