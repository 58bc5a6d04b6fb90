// Reading a whole file into memory, for the 3DS and the BMF readers.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "torvik32c/export.h"
#include "torvik32c/types.h"

namespace torvik {

// Where a stream's content ends (see StreamContent).
struct StreamEnd {
  std::size_t length = 0;  // the bytes the content holds
  // Read on past the content, counting what follows without keeping it
  // (for a format that reports bytes after its content), rather than
  // stopping there.
  bool count_rest = false;
};

// What a stream (standard input, a pipe, a FIFO or a device: anything but a
// regular file, whose size is known) holds, so that its reading can stop
// once the content is in rather than at the stream's end.  Given the bytes
// read so far (a longer run of them at each call), where the content ends,
// or nothing while more are needed to tell; called after every read until
// it tells.
using StreamContent = std::function<std::optional<StreamEnd>(std::span<const byte> read)>;

// Reads a whole file into memory.  Throws Error (kind can_not_open or
// read_failed) naming the path.  A pipe, a FIFO or a device is read to its
// end; opening a FIFO does not wait for its writer, reading it does.
TORVIK_API std::vector<byte> ReadFileBytes(const std::string& path);

// The same, throwing Cancelled once `cancel` (when given) is raised: while
// a pipe or a FIFO has nothing to read, the flag is looked at ten times a
// second.
TORVIK_API std::vector<byte> ReadFileBytes(const std::string& path,
                                           const std::atomic<bool>* cancel);

// The same, reading a stream only as far as `content` says: to the end of
// its content, and, when it says so, counting the bytes after it into
// `*rest` (when given) without keeping them.  A regular file is read whole,
// as above.  Nothing past 2^31 - 1 bytes is read or counted.
TORVIK_API std::vector<byte> ReadFileBytes(const std::string& path, const std::atomic<bool>* cancel,
                                           const StreamContent& content,
                                           std::uint64_t* rest = nullptr);

// Standard input, read as ReadFileBytes reads a stream.
TORVIK_API std::vector<byte> ReadStandardInputBytes(const std::atomic<bool>* cancel,
                                                    const StreamContent& content,
                                                    std::uint64_t* rest = nullptr);

}  // namespace torvik
