// The C entry.  Everything a call needs lives in the call, so calls on
// different threads are independent; nothing is thrown across the boundary.
#include <cstring>
#include <new>
#include <string>

#include "../3dsload/parse3ds.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"
#include "torvik32c/torvik32c.h"

namespace {

constexpr std::size_t kUnbounded = static_cast<std::size_t>(-1);

// Replaces the buffer's contents with `message`, writing at most `size`
// bytes including the terminating zero.
void Print(char* buffer, std::size_t size, const std::string& message) {
  if (buffer == nullptr || size == 0) return;
  const std::size_t length = message.size() < size - 1 ? message.size() : size - 1;
  std::memcpy(buffer, message.data(), length);
  buffer[length] = '\0';
}

std::string WriteFailureMessage(const torvik::IoError& error, const std::string& dest) {
  if (error.kind == torvik::IoError::Kind::open_dest) return "Can't open " + dest + " for writing";
  return "Error writing " + dest;
}

int Convert(const char* src_path, const char* dest_path, char* ErrStr, std::size_t ErrSize) {
  const std::string src = src_path != nullptr ? src_path : "";
  const std::string dest = dest_path != nullptr ? dest_path : "";
  torvik::Model model;
  std::string message;
  const torvik::ParseResult parsed = torvik::parse3ds(src, model, message);
  if (parsed == torvik::ParseResult::out_of_memory) {
    Print(ErrStr, ErrSize, message);
    return 1;
  }
  bool failed = false;
  if (parsed == torvik::ParseResult::read_failed) {
    // A source that can't be read still gives a BMF file without materials.
    Print(ErrStr, ErrSize, "Can't parse " + src + "\n");
    failed = true;
  }
  try {
    torvik::OutGLBMF(model, dest);
  } catch (const torvik::IoError& error) {
    Print(ErrStr, ErrSize, WriteFailureMessage(error, dest));
    failed = true;
  } catch (const torvik::ModelTooLarge&) {
    Print(ErrStr, ErrSize, "Model too large for BMF: " + dest);
    failed = true;
  } catch (const torvik::WriterOutOfMemory& error) {
    Print(ErrStr, ErrSize, error.what());
    failed = true;
  } catch (const std::bad_alloc&) {
    Print(ErrStr, ErrSize, "Out of memory converting " + src);
    failed = true;
  } catch (const std::exception&) {
    Print(ErrStr, ErrSize, "Error writing " + dest);
    failed = true;
  }
  return failed ? 1 : 0;
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
