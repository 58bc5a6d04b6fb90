// libFuzzer target: the BMF reader and validator on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>

#include "torvik32c/bmf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const torvik::BmfFile file = torvik::ReadBmf(std::span<const std::uint8_t>(data, size));
    // The blocks read account for every byte before the trailing ones.
    std::size_t bytes = 4 + file.trailing_bytes;
    for (const torvik::BmfBlock& block : file.blocks) bytes += torvik::BmfBlockLayout(block).size;
    if (bytes != size) __builtin_trap();
    for (const torvik::BmfViolation& violation : torvik::ValidateBmf(file))
      if (violation.byte_offset < 0 || static_cast<std::size_t>(violation.byte_offset) > size)
        __builtin_trap();
  } catch (const torvik::BmfFormatError& error) {
    if (error.byte_offset < 0 || static_cast<std::size_t>(error.byte_offset) > size)
      __builtin_trap();
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
