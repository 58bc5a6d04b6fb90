// WritePng for builds without libpng or stb: the tools refuse previews up
// front, and a preview asked for all the same fails with a message.
#include <stdexcept>

#include "png_file.h"

bool PngAvailable() { return false; }

void WritePng(const std::string&, const Image&) {
  throw std::runtime_error(
      "this build writes no PNG files: neither libpng nor stb was found when it was built");
}
