// A model whose materials use what the exports draw of 3D Studio's maps,
// with its images drawn here: stand-ins for what real models carry (a floor
// tiled 10 x 10 by its map, bricks 3 by 4.5 times with a bump map, a roof
// turned, offset and mirrored, a facade with an opacity map whose name
// matches both its colour map and its alpha map, glowing and shiny
// materials), for the tests, the README and the web page's test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tga_image.h"
#include "threeds_builder.h"

namespace t3ds {

struct NamedFile {
  std::string name;  // relative to the model's folder
  std::vector<std::uint8_t> bytes;
};

struct MaterialsDemo {
  std::vector<Material> materials;
  std::vector<Mesh> meshes;
  std::vector<NamedFile> images;  // the maps' files, beside the model
};

// One tile of the floor: light, with a dark border 2 pixels wide on every
// edge, so that each tile's edges show as dark lines.
RgbImage FloorTile();

// Teeth of heights, 8 pixels wide, each rising 32 levels a pixel from 0
// to 224 then dropping: to the right in every row when `across`, else
// towards the top in every column; 64 x 64.
RgbImage HeightRamp(bool across);

// The scene (its faces' texture coordinates from 0 to 1 on each quad):
//   "Floor"   FLOOR.PNG, scaled 10 x 10;
//   "Bricks"  BRICKWAL.PNG scaled 3 x 4.5 (brickwall.png), with the bump
//             map BRICKWAL.PNG at 30 % (brickwall_bump.png, teeth
//             rising to the right);
//   "Roof"    ROOF.PNG scaled 3.5 x 3.5, offset (0.25, 0.5), turned 30
//             degrees, mirrored;
//   "Facade"  FACADE_G.PNG as texture and opacity map (facade_grillage.png
//             and facade_grillage_alpha.png, a grille: opaque bars, clear
//             holes);
//   "Lamp"    yellow, 80 % self-illuminated;
//   "Metal"   shininess 70 %, strength 100 %, the specular map METAL_S.PNG;
//   "Faded"   FLOOR.PNG at 60 % over a blue diffuse colour.
MaterialsDemo MakeMaterialsDemo();

// Writes FOLDER/materials.3ds and its images (in FOLDER and FOLDER/maps);
// false when a file could not be written.
bool SaveMaterialsDemo(const std::string& folder);

}  // namespace t3ds
