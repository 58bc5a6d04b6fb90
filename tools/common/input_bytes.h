// Reading a tool's input: a file by name, or standard input for "-".
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "torvik32c/types.h"

// The input name that means standard input.
inline constexpr const char* kStandardInput = "-";

// Reads the input `path` to its end: standard input for kStandardInput, and
// a pipe, a FIFO or a device like a file.  Throws Cancelled once `cancel` is
// raised while waiting for bytes, IoError naming the input otherwise.
std::vector<torvik::byte> ReadInputBytes(const std::string& path, const std::atomic<bool>* cancel);

// Whether `path` names a regular file (not standard input, a pipe or a
// device), which the library can read by its size.
bool IsRegularInput(const std::string& path);
