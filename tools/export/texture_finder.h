// Where the exports look for the image files that blocks name.
#pragma once

#include <filesystem>
#include <vector>

#include "gltf_export.h"

// Finds a stored texture name in the folder of `model_file` (the BMF or 3DS
// file it came with), then in `extra_folders` in order.
TextureFinder TexturesBeside(const std::filesystem::path& model_file,
                             std::vector<std::filesystem::path> extra_folders = {});
