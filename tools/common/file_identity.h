// Whether two names lead to one file, so that no tool writes over a file it
// reads: an output that is the same file as an input (by another name, a
// symbolic link or a hard link) is refused before anything is written.
#pragma once

#include <set>
#include <string>

// The files a tool reads.
class InputFiles {
 public:
  void Add(const std::string& path);
  // Whether writing `path` would replace one of the inputs.
  bool Contains(const std::string& path) const;

 private:
  std::set<std::string> keys_;
};

// A key equal for two names of one file: the device and file number of an
// existing file (its canonical path on Windows), else the path made absolute
// with every link in it followed.  Two outputs with one key would overwrite
// each other.
std::string FileKey(const std::string& path);

// A key equal for two names of one place in the folder tree, whether a file
// is there or not: the path made absolute with every link in its folders
// followed (and, on Windows, in one case).
std::string PlaceKey(const std::string& path);
