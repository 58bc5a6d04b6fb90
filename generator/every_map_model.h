// A model whose materials carry every kind of map 3D Studio stores, in
// JPEG and PNG files beside it, with some of them missing: what every front
// end (3ds2bmf, the Python module, the WebAssembly module) must find, embed,
// compose and warn about alike.
#pragma once

#include <string>

namespace t3ds {

// Writes FOLDER/every_map.3ds and its images (in FOLDER and FOLDER/maps):
//   "Painted"  texture 1 PAINT.JPG, texture 2 DECAL.PNG, opacity map
//              PAINT_A.JPG, bump map RIDGES.JPG at 40 %, specular map
//              SPEC.JPG, shininess map GLOSS.PNG, self-illumination map
//              GLOW.JPG and reflection map CHROME.PNG, each file of its own
//              (the JPEGs 4:2:0, so that decoders may round them apart);
//   "Faded"    PAINT.JPG at 60 % over a blue diffuse colour;
//   "Missing"  texture 1 GONE.PNG and a bump map NOBUMP.JPG, neither there;
//   "Lit"      self-illuminated by GLOW.JPG alone, and an opacity map
//              FENCE.PNG whose file is missing.
// False when a file could not be written.
bool SaveEveryMapModel(const std::string& folder);

}  // namespace t3ds
