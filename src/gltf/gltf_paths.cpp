#include <algorithm>
#include <cctype>
#include <filesystem>

#include "torvik32c/gltf_export.h"

namespace torvik {

std::vector<std::string> GltfFiles(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  const bool gltf = extension.size() == 5 &&
                    std::equal(extension.begin(), extension.end(), ".gltf", [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) == b;
                    });
  if (!gltf) return {path};
  return {path, path.substr(0, path.size() - extension.size()) + ".bin"};
}

ReadOptions SceneGltfReadOptions(std::size_t threads) {
  return {.smoothing_groups = true,
          .keep_file_winding = true,
          .keyframer = true,
          .animation = true,
          .cameras_and_lights = true,
          .threads = threads};
}

}  // namespace torvik
