// Where the exports look for the image files that blocks name.
#pragma once

#include <filesystem>
#include <vector>

#include "torvik32c/gltf_export.h"
#include "torvik32c/texture_resolver.h"

namespace torvik {

// Finds a stored map name as ResolveTexture does, for its kind: in the folder
// of `model_file` (the BMF or 3DS file it came with) and its usual
// subfolders, then in `extra_folders` in order; of several candidates, the
// resolver's pick.
TextureFinder TexturesBeside(const std::filesystem::path& model_file,
                             std::vector<std::filesystem::path> extra_folders = {});

// Finds a stored name among names resolved already, for the kind of map
// each was resolved for.
TextureFinder ResolvedTextures(std::vector<TextureResolution> textures);

}  // namespace torvik
