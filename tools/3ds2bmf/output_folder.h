// The folder that -d names, made ready before any file is converted.
#pragma once

#include <string>

struct FolderCheck {
  int status = 0;       // 0: ready; else the exit status (2: a usage error)
  std::string message;  // "PATH: reason" when not ready
};

// A folder that does not exist yet is created, with any missing parents; a
// name that is taken by something other than a folder is a usage error.
FolderCheck PrepareOutputFolder(const std::string& folder);
