// libFuzzer target: the OBJ reader, from the bytes of an .obj to BMF bytes.
// The material library it names is the input itself, so that the MTL
// statements are read too.  A damaged file must end in one of the library's
// errors; anything else is a finding, and so is a written file that breaks
// a rule of the BMF layout.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imported_bmf_check.h"
#include "torvik32c/errors.h"
#include "torvik32c/obj_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  torvik::ImportOptions options;
  options.file_normals = size % 2 == 1;
  options.model_name = "fuzz.obj";
  options.files = [bytes](const std::string&, std::uint64_t) {
    return std::vector<torvik::byte>(bytes.begin(), bytes.end());
  };
  return ConvertImportedAndCheck([&] { return torvik::ReadObjScene(bytes, options); });
}
