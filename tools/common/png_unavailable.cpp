// WritePng for builds without libpng (the cross build for Windows): every
// preview fails with a message that says so.
#include <stdexcept>

#include "png_file.h"

void WritePng(const std::string&, const Image&) {
  throw std::runtime_error(
      "this build writes no PNG files: libpng was not found when it was built");
}
