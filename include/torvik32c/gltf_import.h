// The glTF 2.0 reader (torvik_gltfload): a binary glTF (.glb), or a glTF's
// JSON with its buffers and images beside it or in data: URIs, as the scene
// the conversion turns into a model (model_import.h).
//
// What it reads: the default scene (else scene 0, else every node that is
// no other's child), every mesh drawn once per node that draws it, by the
// node's world matrix, in mesh order and each mesh's copies in the order of
// their nodes; TRIANGLES, strips and fans as triangles (points and lines are
// left out with a warning); glTF's axes (y up) and winding turned into those
// of a 3DS file, the inverse of the scene glTF export.  Materials: the base
// colour back from linear to the colours a 3DS file stores, alpha to
// transparency, doubleSided to two-sided, KHR_materials_specular's colour
// to the specular colour, the base colour texture to the texture name (its
// KHR_texture_transform baked into the texture coordinates).  A material
// named QZ_DEFAULT is the conversion's default material.
#pragma once

#include <span>

#include "torvik32c/model_import.h"

namespace torvik {

// Reads the glTF whose bytes are `bytes` (a .glb, or a .gltf's JSON).
// Throws ImportError (damaged_file) saying where the glTF is wrong,
// InstancesTooLarge, Error for a file it names that can't be read, and
// Cancelled.
ImportedScene ReadGltfScene(std::span<const byte> bytes, const ImportOptions& options = {});

}  // namespace torvik
