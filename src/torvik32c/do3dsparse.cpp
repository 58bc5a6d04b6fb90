// The C entry.  Everything a call needs lives in the call, so calls on
// different threads are independent; nothing is thrown across the boundary.
#include <cstring>
#include <optional>
#include <string>

#include "3dsload/parse3ds.h"
#include "torvik32c/bmf.h"
#include "torvik32c/file_identity.h"
#include "torvik32c/torvik32c.h"

namespace {

using torvik::Error;
using torvik::Stage;
using torvik::StageError;

constexpr std::size_t kUnbounded = static_cast<std::size_t>(-1);

// Replaces the buffer's contents with `message`, writing at most `size`
// bytes including the terminating zero.
void Print(char* buffer, std::size_t size, const std::string& message) {
  if (buffer == nullptr || size == 0) return;
  const std::size_t length = message.size() < size - 1 ? message.size() : size - 1;
  std::memcpy(buffer, message.data(), length);
  buffer[length] = '\0';
}

// The C entry's message for every failure: the one place where errors become
// the entry's fixed texts.
std::string EntryMessage(const StageError& failure, const std::string& src,
                         const std::string& dest) {
  if (failure.stage == Stage::read) return "Can't parse " + src + "\n";
  switch (failure.error.kind) {
    case Error::Kind::cannot_open:
      return "Can't open " + dest + " for writing";
    case Error::Kind::too_large:
      return "Model too large for BMF: " + dest;
    case Error::Kind::out_of_memory: {
      // The writer names the table it could not allocate.
      const std::string table = failure.error.what();
      return table.empty() ? "Out of memory converting " + src : table;
    }
    default:
      return failure.stage == Stage::write ? "Error writing " + dest : "Can't parse " + src + "\n";
  }
}

int Convert(const char* src_path, const char* dest_path, char* ErrStr, std::size_t ErrSize) {
  const std::string src = src_path != nullptr ? src_path : "";
  const std::string dest = dest_path != nullptr ? dest_path : "";
  // A destination that is the source (by another name or a link) would be
  // replaced by the BMF: nothing is read or written.
  if (!src.empty() && torvik::IsSameFile(src, dest)) {
    Print(ErrStr, ErrSize, "Output is the source: " + dest);
    return 1;
  }
  torvik::Model model;
  std::optional<StageError> failure = torvik::parse3ds(src, model);
  // A source that can't be read still gives a BMF file without materials; a
  // conversion that fails writes nothing.
  if (!failure || failure->stage == Stage::read) {
    if (std::optional<Error> error = torvik::Attempt([&] { torvik::OutGLBMF(model, dest); }))
      failure = StageError{Stage::write, *error};
  }
  if (!failure) return 0;
  Print(ErrStr, ErrSize, EntryMessage(*failure, src, dest));
  return 1;
}

int Guarded(const char* src, const char* dest, char* ErrStr, std::size_t ErrSize) {
  try {
    return Convert(src, dest, ErrStr, ErrSize);
  } catch (...) {
    // Only the formatting of a message can get here, when memory is gone.
    Print(ErrStr, ErrSize, "Error allocating memory");
    return 1;
  }
}

}  // namespace

extern "C" TORVIK32C_API int TORVIK32C_CALL do3dsparse(char* src, char* dest, char* ErrStr) {
  return Guarded(src, dest, ErrStr, kUnbounded);
}

extern "C" TORVIK32C_API int TORVIK32C_CALL do3dsparse_ex(const char* src, const char* dest,
                                                          char* ErrStr, std::size_t ErrSize) {
  return Guarded(src, dest, ErrStr, ErrSize);
}
