// What the import fuzz targets share: a scene read by one of the readers is
// converted and written as BMF; a damaged file must end in one of the
// library's errors (or run out of memory), and a written file that breaks a
// rule of the BMF layout is a finding.
#pragma once

#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"
#include "torvik32c/model_import.h"

// `read` gives the ImportedScene (and throws the library's errors).
template <typename Read>
int ConvertImportedAndCheck(Read read) {
  std::vector<torvik::byte> bmf;
  torvik::BmfStats stats;
  try {
    torvik::ImportedScene scene = read();
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
