// Writing the files the exports make.
#pragma once

#include <string>
#include <string_view>

// Writes `bytes` to `path`, replacing the file.  Throws std::runtime_error
// saying why when it can't; no partial file is left behind then.
void WriteOutputFile(const std::string& path, std::string_view bytes);
