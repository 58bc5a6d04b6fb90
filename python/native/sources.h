// What the module's functions read: a file named by a path (str or
// os.PathLike), or bytes held by any buffer (bytes, bytearray, memoryview,
// a numpy array of uint8), read in place.
#pragma once

#include <pybind11/pybind11.h>

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "torvik32c/types.h"

namespace torvik_python {

namespace py = pybind11;

class Source {
 public:
  // Raises TypeError naming `argument` for anything else.
  Source(py::handle value, const char* argument);

  bool IsFile() const { return path_.has_value(); }
  // The file, when IsFile().
  const std::filesystem::path& Path() const { return *path_; }
  // The file's name for messages, or "" for bytes.
  std::string Subject() const { return path_ ? path_->string() : std::string(); }
  // The bytes: read from the file (without the GIL: call it inside
  // WithoutGil), or the buffer's in place.
  std::span<const torvik::byte> Bytes();

 private:
  std::optional<std::filesystem::path> path_;
  std::optional<py::buffer_info> buffer_;  // released with the GIL held
  std::vector<torvik::byte> read_;
};

}  // namespace torvik_python
