// WriteGltf and WriteSceneGltf for builds without nlohmann-json and stb (the cross build for
// Windows): every export fails with a message that says so.
#include <stdexcept>

#include "torvik32c/gltf_export.h"

namespace torvik {

bool GltfAvailable() { return false; }

namespace {

[[noreturn]] void Unavailable() {
  throw std::runtime_error(
      "this build writes no glTF files: nlohmann-json or stb was not found when it was built");
}

}  // namespace

std::vector<std::string> WriteGltf(const BmfFile&, const std::string&, const GltfOptions&) {
  Unavailable();
}

std::vector<std::string> WriteSceneGltf(const H3dsScene&, const ScenePlacement&, const std::string&,
                                        const GltfOptions&) {
  Unavailable();
}

}  // namespace torvik
