// The one error type of the C++ API.  Every error carries a kind and a
// message that names the problem; errors in a file's bytes also say where.
#pragma once

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "torvik32c/export.h"

namespace torvik {

class TORVIK_API Error : public std::runtime_error {
 public:
  enum class Kind {
    damaged_file,   // the bytes are damaged, truncated or not of the expected format
    cannot_open,    // a file could not be opened, for reading or for writing
    read_failed,    // a file was opened but could not be measured or read
    write_failed,   // writing the destination, or putting it in place, failed
    too_large,      // the model does not fit the BMF format's 16-bit fields
    out_of_memory,  // a working table could not be allocated; the message says which
    invalid_model,  // a scene or model built by hand breaks a rule that every read file keeps
    cancelled,      // the caller raised the cancellation flag
  };

  Error(Kind kind, const std::string& message) : std::runtime_error(message), kind(kind) {}

  Kind kind;
  std::string path;                // the file, for cannot_open, read_failed and write_failed
  std::uint16_t chunk_id = 0;      // damaged 3DS file: the chunk being read (0 before the first)
  std::int64_t chunk_offset = -1;  // damaged 3DS file: that chunk's header (-1 when none)
  std::int64_t byte_offset = -1;   // damaged file: where the problem was found
};

// The kinds as their own types, for callers that catch only one of them.

// damaged_file in a 3DS file, with the chunk and the byte offset.
class TORVIK_API ReadError : public Error {
 public:
  ReadError(const std::string& message, std::uint16_t chunk, std::int64_t chunk_at, std::int64_t at)
      : Error(Kind::damaged_file, message) {
    chunk_id = chunk;
    chunk_offset = chunk_at;
    byte_offset = at;
  }
};

// cannot_open, read_failed or write_failed, naming the file.
class TORVIK_API IoError : public Error {
 public:
  IoError(Kind kind, const std::string& file, const std::string& message) : Error(kind, message) {
    path = file;
  }
};

// cancelled: a conversion stopped because its caller raised the
// cancellation flag.  No output was written, and any temporary file is gone.
class TORVIK_API Cancelled : public Error {
 public:
  Cancelled() : Error(Kind::cancelled, "cancelled") {}
};

// Throws Cancelled when `flag` is given and raised.  Conversions call it
// between their stages.
inline void StopIfCancelled(const std::atomic<bool>* flag) {
  if (flag != nullptr && flag->load(std::memory_order_relaxed)) throw Cancelled();
}

// too_large.
class TORVIK_API ModelTooLarge : public Error {
 public:
  explicit ModelTooLarge(const std::string& message) : Error(Kind::too_large, message) {}
};

// too_large: the keyframer would draw more faces or vertices than its caller
// allows (DrawPlacedMeshes); nothing was drawn.
class TORVIK_API PlacementTooLarge : public Error {
 public:
  PlacementTooLarge(const char* counted, std::uint64_t count, std::uint64_t limit)
      : Error(Kind::too_large, std::string("the keyframer would draw ") + std::to_string(count) +
                                   " " + counted + ", more than the " + std::to_string(limit) +
                                   " allowed"),
        counted(counted),
        count(count),
        limit(limit) {}

  const char* counted;  // "faces" or "vertices"
  std::uint64_t count;  // how many the keyframer would draw
  std::uint64_t limit;  // the most it may draw
};

// invalid_model: a triangle named a material that the model does not have.
class TORVIK_API UnknownMaterial : public Error {
 public:
  explicit UnknownMaterial(const std::string& message) : Error(Kind::invalid_model, message) {}
};

// out_of_memory in the BMF writer; the message says which table.
class TORVIK_API WriterOutOfMemory : public Error {
 public:
  explicit WriterOutOfMemory(const std::string& message) : Error(Kind::out_of_memory, message) {}
};

}  // namespace torvik
