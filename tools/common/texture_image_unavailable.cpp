// LoadTextureImage for builds without stb_image (the cross build for
// Windows): every texture fails with a message that says so, and previews
// draw diffuse colours.
#include <stdexcept>

#include "texture_image.h"

Image LoadTextureImage(const std::filesystem::path&) {
  throw std::runtime_error(
      "this build decodes no texture images: stb_image was not found when it was built");
}
