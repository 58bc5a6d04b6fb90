// Reading a whole file into memory, for the 3DS and the BMF readers.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "torvik32c/export.h"
#include "torvik32c/types.h"

namespace torvik {

// Reads a whole file into memory.  Throws Error (kind can_not_open or
// read_failed) naming the path.  A pipe, a FIFO or a device is read to its
// end; opening a FIFO does not wait for its writer, reading it does.
TORVIK_API std::vector<byte> ReadFileBytes(const std::string& path);

// The same, throwing Cancelled once `cancel` (when given) is raised: while
// a pipe or a FIFO has nothing to read, the flag is looked at ten times a
// second.
TORVIK_API std::vector<byte> ReadFileBytes(const std::string& path,
                                           const std::atomic<bool>* cancel);

}  // namespace torvik
