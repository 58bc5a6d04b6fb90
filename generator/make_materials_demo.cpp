// Writes the model whose materials use 3D Studio's maps (MakeMaterialsDemo)
// and its images.
//   make_materials_demo FOLDER   writes FOLDER/materials.3ds and its images
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "materials_demo.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_materials_demo FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const t3ds::MaterialsDemo demo = t3ds::MakeMaterialsDemo();
  bool saved = t3ds::SaveFile((folder / "materials.3ds").string(),
                              t3ds::BuildFile(demo.materials, demo.meshes));
  for (const t3ds::NamedFile& image : demo.images) {
    std::error_code error;
    std::filesystem::create_directories((folder / image.name).parent_path(), error);
    saved = t3ds::SaveFile((folder / image.name).string(), image.bytes) && saved;
  }
  return saved ? 0 : 1;
}
