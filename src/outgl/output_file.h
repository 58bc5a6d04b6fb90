// A destination file that is replaced only when it is complete.
//
// A regular file, or one that does not exist yet, is written to a temporary
// file in the same directory and renamed over the destination on Commit; a
// symbolic link is followed, so the file it points to is replaced and the
// link stays; a replaced file keeps its permission bits.  A destination that
// exists but is not a regular file (a device, a FIFO) is written in place.
// Destroying an OutputFile that was not committed removes the temporary file
// and leaves the destination as it was.
#pragma once

#include <cstddef>
#include <string>

namespace torvik {

class OutputFile {
 public:
  // Throws IoError (cannot_open).
  explicit OutputFile(const std::string& dest);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Both throw IoError (write_failed).
  void Write(const void* data, std::size_t size);
  void Commit();

 private:
  [[noreturn]] void WriteFailed();
  void Discard();

  std::string dest_;    // as the caller named it, for messages
  std::string target_;  // the file that is replaced: dest_ with links followed
  std::string temp_;    // empty when writing in place
  int fd_ = -1;
  bool replacing_ = false;   // a temporary file that will replace an existing one
  std::size_t written_ = 0;  // bytes written so far
  bool committed_ = false;
};

}  // namespace torvik
