// Writing images as PNG files, through libpng or stb_image_write.
#pragma once

#include <string>

#include "preview_renderer.h"

// Writes `image` as an 8-bit RGB PNG, through a temporary file renamed into
// place.  Throws std::runtime_error or torvik::IoError saying why when the
// file can't be written; no partial file is left behind then.
void WritePng(const std::string& path, const Image& image);

// Whether this build writes PNG files (through libpng or stb_image_write).
bool PngAvailable();
