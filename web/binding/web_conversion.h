// A conversion as the web page runs it.  The page lays the dropped model and
// its texture files out in the module's in-memory file system as the user
// had them (subfolders kept), so the texture resolver's rules apply
// unchanged: case, subfolders, 8.3 names, other extensions.
#pragma once

#include <string>

#include "torvik32c/model_conversion.h"

// What 3ds2bmf would report for the file, and the BMF it would write.
struct WebConversion {
  bool ok = false;
  std::string error;                // what 3ds2bmf prints after "3ds2bmf: PATH: "
  torvik::ConversionReport report;  // empty when !ok
  double milliseconds = 0;
};

// Converts the 3DS file at `path` with one thread, as 3ds2bmf --threads 1
// does (torvik::ConvertModel), resolving its textures beside it.  Never
// throws.
WebConversion ConvertModelFile(const std::string& path, torvik::ConversionSettings settings,
                               const torvik::StageCallback& stage);
