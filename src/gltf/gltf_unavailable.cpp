// WriteGltf and WriteSceneGltf for builds without nlohmann-json's headers:
// the tools refuse glTF exports up front, and one asked for all the same
// fails with a message.
#include <stdexcept>

#include "torvik32c/gltf_export.h"

namespace torvik {

bool GltfAvailable() { return false; }

namespace {

[[noreturn]] void Unavailable() {
  throw std::runtime_error(
      "this build writes no glTF files: nlohmann-json was not found when it was built");
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
