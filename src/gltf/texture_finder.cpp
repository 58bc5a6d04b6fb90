#include "torvik32c/texture_finder.h"

#include <memory>

namespace torvik {

TextureFinder TexturesBeside(const std::filesystem::path& model_file,
                             std::vector<std::filesystem::path> extra_folders) {
  TextureSearchOptions options;
  options.extra_folders = std::move(extra_folders);
  // Shared by the finder's copies: one search per model.
  auto search = std::make_shared<ModelTextureSearch>(model_file, std::move(options));
  return
      [search](const std::string& name, MapKind kind) { return search->Resolve(name, kind).path; };
}

TextureFinder ResolvedTextures(std::vector<TextureResolution> textures) {
  return [textures = std::move(textures)](const std::string& name,
                                          MapKind kind) -> std::optional<std::filesystem::path> {
    for (const TextureResolution& texture : textures)
      if (texture.name == name && texture.kind == kind) return texture.path;
    return std::nullopt;
  };
}

}  // namespace torvik
