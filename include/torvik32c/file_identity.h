// Whether two names lead to one file, so that nothing the library, the
// tools or the bindings write replaces a file they read: an output that is
// the same file as an input (by the same name or another spelling of it, a
// symbolic link or a hard link) is refused before anything is written.
#pragma once

#include <set>
#include <string>

#include "torvik32c/export.h"

namespace torvik {

// A key equal for two names of one file: the device and file number of an
// existing file (its canonical path on Windows), else the path made absolute
// with every link in it followed.  Two outputs with one key would overwrite
// each other.
TORVIK_API std::string FileKey(const std::string& path);

// A key equal for two names of one place in the folder tree, whether a file
// is there or not: the path made absolute with every link in its folders
// followed (and, on Windows, in one case).
TORVIK_API std::string PlaceKey(const std::string& path);

// Whether writing `output` would replace the file `input` (FileKey).
TORVIK_API bool IsSameFile(const std::string& input, const std::string& output);

// The files a tool reads.
class TORVIK_API InputFiles {
 public:
  void Add(const std::string& path);
  // Whether writing `path` would replace one of the inputs.
  bool Contains(const std::string& path) const;

 private:
  std::set<std::string> keys_;
};

}  // namespace torvik
