// libFuzzer target: the whole conversion from 3DS bytes in memory to BMF
// bytes.  A damaged file must end in one of the library's errors; anything
// else (a crash, a sanitizer report, a leak, a hang) is a finding, and so is
// a written file that breaks a rule of the BMF layout.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <span>
#include <utility>

#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"

namespace {

void CheckWritten(const std::vector<torvik::byte>& bmf, const torvik::BmfStats& stats) {
  if (bmf.size() != stats.bytes) {
    std::fprintf(stderr, "writer reports %zu bytes but wrote %zu\n", stats.bytes, bmf.size());
    __builtin_trap();
  }
  const std::vector<torvik::BmfViolation> violations = torvik::ValidateBmf(torvik::ReadBmf(bmf));
  if (!violations.empty()) {
    for (const torvik::BmfViolation& violation : violations)
      std::fprintf(stderr, "%s\n", torvik::DescribeViolation(violation).c_str());
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<torvik::byte> bmf;
  torvik::BmfStats stats;
  // Inputs of odd length also take the smoothing groups into account and
  // draw the meshes where the keyframer places them.
  const bool smoothing = size % 2 == 1;
  try {
    torvik::H3dsScene scene =
        torvik::HRead3dsScene(std::span<const std::uint8_t>(data, size),
                              {.smoothing_groups = smoothing, .keyframer = smoothing});
    const torvik::Model model = torvik::convert_to_outgl(
        std::move(scene), nullptr, {.smoothing_groups = smoothing, .keyframer = smoothing});
    bmf = torvik::OutGLBMFBytes(model, &stats);
  } catch (const torvik::Error&) {
    return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  // Outside the try: a BmfFormatError here is a finding, not a damaged input.
  CheckWritten(bmf, stats);
  return 0;
}
