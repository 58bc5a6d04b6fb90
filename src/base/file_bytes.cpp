// Reading a source file into memory in one piece.
#include "torvik32c/file_bytes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "file_bytes_uninitialised.h"
#include "large_tables.h"
#include "torvik32c/errors.h"

#ifdef _WIN32
// 64-bit positions: long has 32 bits there.
#define TORVIK_FSEEK _fseeki64
#define TORVIK_FTELL _ftelli64
#define TORVIK_FSTAT _fstat64
#define TORVIK_STAT_T struct _stat64
#define TORVIK_FILENO _fileno
#define TORVIK_IS_REG(m) (((m)&_S_IFMT) == _S_IFREG)
#else
#define TORVIK_FSEEK fseek
#define TORVIK_FTELL ftell
#define TORVIK_FSTAT fstat
#define TORVIK_STAT_T struct stat
#define TORVIK_FILENO fileno
#define TORVIK_IS_REG(m) S_ISREG(m)
#endif

namespace torvik {

namespace {

// Chunk positions are signed 32-bit, so nothing past this is ever read.
constexpr std::size_t kMaxReadable =
    static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
constexpr std::size_t kReadStep = 1 << 20;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

[[noreturn]] void Fail(Error::Kind kind, const std::string& path, const char* what, int error) {
  std::string message = what;
  if (error != 0) message += std::string(": ") + std::strerror(error);
  throw IoError(kind, path, message);
}

template <class Bytes>
Bytes ReadInto(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) Fail(Error::Kind::cannot_open, path, "can't open", errno);
  if (TORVIK_FSEEK(file.get(), 0, SEEK_END) != 0)
    Fail(Error::Kind::read_failed, path, "can't seek", errno);
  const auto size = TORVIK_FTELL(file.get());
  if (size == -1) Fail(Error::Kind::read_failed, path, "can't tell its size", errno);
  std::rewind(file.get());

  // The size is trusted only for a regular file: a directory or a device can
  // report anything.
  std::size_t expected = 0;
  TORVIK_STAT_T st;
  if (TORVIK_FSTAT(TORVIK_FILENO(file.get()), &st) == 0 && TORVIK_IS_REG(st.st_mode))
    expected = static_cast<std::uint64_t>(size) < kMaxReadable ? static_cast<std::size_t>(size)
                                                               : kMaxReadable;

  Bytes bytes;
  ResizeLarge(bytes, expected);
  std::size_t filled = std::fread(bytes.data(), 1, expected, file.get());
  int next = 0;
  while (filled == bytes.size() && filled < kMaxReadable &&
         (next = std::fgetc(file.get())) != EOF) {
    // The file is longer than it said, or its size is unknown: go on in steps.
    bytes.resize(filled + std::min(std::max(kReadStep, filled), kMaxReadable - filled));
    bytes[filled++] = static_cast<byte>(next);
    filled += std::fread(bytes.data() + filled, 1, bytes.size() - filled, file.get());
  }
  if (std::ferror(file.get())) Fail(Error::Kind::read_failed, path, "error reading", errno);
  bytes.resize(filled);
  return bytes;
}

}  // namespace

std::vector<byte> ReadFileBytes(const std::string& path) {
  return ReadInto<std::vector<byte>>(path);
}

UninitialisedBytes ReadFileBytesUninitialised(const std::string& path) {
  return ReadInto<UninitialisedBytes>(path);
}

}  // namespace torvik
