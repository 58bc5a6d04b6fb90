// Reading a whole file into memory, for the 3DS and the BMF readers.
#pragma once

#include <string>
#include <vector>

#include "torvik32c/export.h"
#include "torvik32c/types.h"

namespace torvik {

// Reads a whole file into memory.  Throws Error (kind can_not_open or
// read_failed) naming the path.
TORVIK_API std::vector<byte> ReadFileBytes(const std::string& path);

}  // namespace torvik
