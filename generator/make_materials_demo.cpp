// Writes the model whose materials use 3D Studio's maps (MakeMaterialsDemo)
// and its images.
//   make_materials_demo FOLDER   writes FOLDER/materials.3ds and its images
#include <cstdio>

#include "materials_demo.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_materials_demo FOLDER\n");
    return 2;
  }
  return t3ds::SaveMaterialsDemo(argv[1]) ? 0 : 1;
}
