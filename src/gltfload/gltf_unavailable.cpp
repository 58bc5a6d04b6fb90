// A build without tinygltf's header: glTF files are refused.
#include "torvik32c/gltf_import.h"

namespace torvik {

ImportedScene ReadGltfScene(std::span<const byte>, const ImportOptions&) {
  throw Error(Error::Kind::damaged_file, "this build reads no glTF files (built without tinygltf)");
}

}  // namespace torvik
