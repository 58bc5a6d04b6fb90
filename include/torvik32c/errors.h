// Errors raised by the C++ API.  Every one carries a message that names the
// problem; the reader's errors also carry the chunk and the byte offset.
#pragma once

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace torvik {

// Base of every error the library raises on purpose.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The 3DS bytes are damaged, truncated or not a 3DS file at all.
class ReadError : public Error {
 public:
  ReadError(const std::string& message, std::uint16_t chunk_id, std::int64_t chunk_offset,
            std::int64_t byte_offset)
      : Error(message), chunk_id(chunk_id), chunk_offset(chunk_offset), byte_offset(byte_offset) {}

  std::uint16_t chunk_id;     // id of the chunk being read (0 before the first header)
  std::int64_t chunk_offset;  // byte offset of that chunk's header (-1 when none)
  std::int64_t byte_offset;   // where in the file the problem was found
};

// A file could not be opened, measured, read or written.  The message says
// what failed and why; `path` names the file.
class IoError : public Error {
 public:
  enum class Kind { open_source, seek_source, size_source, read_source, open_dest, write_dest };
  IoError(Kind kind, const std::string& path, const std::string& message)
      : Error(message), kind(kind), path(path) {}

  Kind kind;
  std::string path;
};

// The model does not fit the BMF format's 16-bit fields.
class ModelTooLarge : public Error {
 public:
  using Error::Error;
};

// A triangle named a material that the model does not have.
class UnknownMaterial : public Error {
 public:
  using Error::Error;
};

// A conversion stopped because its caller raised the cancellation flag.  No
// output was written, and any temporary file is gone.
class Cancelled : public Error {
 public:
  Cancelled() : Error("cancelled") {}
};

// Throws Cancelled when `flag` is given and raised.  Conversions call it
// between their stages.
inline void StopIfCancelled(const std::atomic<bool>* flag) {
  if (flag != nullptr && flag->load(std::memory_order_relaxed)) throw Cancelled();
}

// The BMF writer could not allocate one of its working tables; the message
// says which one.
class WriterOutOfMemory : public Error {
 public:
  using Error::Error;
};

}  // namespace torvik
