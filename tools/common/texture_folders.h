// The --texture-path folders, checked once before any model is read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// One warning ("PATH: --texture-path is not a folder") for each of `folders`
// that is missing or not a folder; the search skips them.
std::vector<std::string> TextureFolderWarnings(const std::vector<std::filesystem::path>& folders);
