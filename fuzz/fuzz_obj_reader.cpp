// libFuzzer target: the OBJ reader, from the bytes of an .obj to BMF bytes.
// The material library it names is the input itself, so that the MTL
// statements are read too.  A damaged file must end in one of the library's
// errors; anything else is a finding, and so is a written file that breaks
// a rule of the BMF layout.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <span>
#include <utility>

#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"
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
  std::vector<torvik::byte> bmf;
  torvik::BmfStats stats;
  try {
    torvik::ImportedScene scene = torvik::ReadObjScene(bytes, options);
    const torvik::Model model = torvik::ConvertImportedScene(std::move(scene));
    bmf = torvik::OutGLBMFBytes(model, &stats);
  } catch (const torvik::Error&) {
    return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (bmf.size() != stats.bytes || !torvik::ValidateBmf(torvik::ReadBmf(bmf)).empty()) {
    std::fprintf(stderr, "the BMF written breaks the layout\n");
    __builtin_trap();
  }
  return 0;
}
