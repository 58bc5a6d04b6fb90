// What the 3ds2bmf tests share: running the tool in a folder, and whether
// a folder holds a temporary file left behind.
#pragma once

#include <filesystem>
#include <string>

#include "test_support.h"

inline testing_support::ToolRun Tool(const testing_support::TempDir& dir, const std::string& args) {
  return testing_support::RunCommand(std::string(TORVIK_3DS2BMF) + " " + args, dir);
}

inline bool NoTemporaryFiles(const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".tmp") return false;
  return true;
}
