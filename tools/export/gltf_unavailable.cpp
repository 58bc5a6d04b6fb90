// WriteGltf for builds without nlohmann-json or stb: the tools refuse glTF
// exports up front, and one asked for all the same fails with a message.
#include <stdexcept>

#include "gltf_export.h"

bool GltfAvailable() { return false; }

std::vector<std::string> WriteGltf(const torvik::BmfFile&, const std::string&, const GltfOptions&) {
  throw std::runtime_error(
      "this build writes no glTF files: nlohmann-json or stb was not found when it was built");
}
