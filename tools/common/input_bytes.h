// Reading a tool's input: a file by name, or standard input for "-".
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "torvik32c/file_bytes.h"
#include "torvik32c/types.h"

// The input name that means standard input.
inline constexpr const char* kStandardInput = "-";

// Reads the input `path`: standard input for kStandardInput.  A regular file
// is read whole; a pipe, a FIFO or a device as far as `content` says (bytes
// after the content counted into `*rest` when it says so).  Throws Cancelled
// once `cancel` is raised while waiting for bytes, IoError naming the input
// otherwise.
std::vector<torvik::byte> ReadInputBytes(const std::string& path, const std::atomic<bool>* cancel,
                                         const torvik::StreamContent& content,
                                         std::uint64_t* rest = nullptr);

// Whether `path` names a regular file (not standard input, a pipe or a
// device), which the library can read by its size.
bool IsRegularInput(const std::string& path);
