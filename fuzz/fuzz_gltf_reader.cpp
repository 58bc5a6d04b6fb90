// libFuzzer target: the glTF reader, from the bytes of a .glb or a .gltf to
// BMF bytes, its meshes read whole or as the conversion takes them.  A file the glTF names beside
// it is served from the input's own bytes (so that external buffers are read too) or is missing, by
// the input's length.  A damaged file must end in one of the library's errors; anything else (a
// crash, a sanitizer report, a leak, a hang) is a finding, and so is a written file that breaks a
// rule of the BMF layout.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imported_bmf_check.h"
#include "torvik32c/errors.h"
#include "torvik32c/gltf_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  torvik::ImportOptions options;
  options.file_normals = size % 2 == 1;
  // Half of the others have their meshes drawn as the conversion takes them.
  options.stream_meshes = size % 4 == 0;
  options.max_placed_faces = 1000000;
  options.model_name = "fuzz.glb";
  if (size % 3 == 0)
    options.files = [bytes](const std::string&, std::uint64_t most) {
      if (bytes.size() > most) throw torvik::Error(torvik::Error::Kind::too_large, "too large");
      return std::vector<torvik::byte>(bytes.begin(), bytes.end());
    };
  return ConvertImportedAndCheck([&] { return torvik::ReadGltfScene(bytes, options); });
}
