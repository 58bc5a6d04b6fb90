#include "torvik32c/texture_finder.h"

namespace torvik {

TextureFinder TexturesBeside(const std::filesystem::path& model_file,
                             std::vector<std::filesystem::path> extra_folders) {
  return [model_file, folders = std::move(extra_folders)](const std::string& name) {
    return ResolveTexture(name, model_file, folders).path;
  };
}

TextureFinder ResolvedTextures(std::vector<TextureResolution> textures) {
  return [textures = std::move(textures)](
             const std::string& name) -> std::optional<std::filesystem::path> {
    for (const TextureResolution& texture : textures)
      if (texture.name == name) return texture.path;
    return std::nullopt;
  };
}

}  // namespace torvik
