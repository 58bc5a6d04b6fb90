// Reading a source file into memory in one piece.
#include "torvik32c/file_bytes.h"

#include <fcntl.h>
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
#include <io.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace torvik {

namespace {

// Chunk positions are signed 32-bit, so nothing past this is ever read.
constexpr std::size_t kMaxReadable =
    static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
constexpr std::size_t kReadStep = 1 << 20;
// How long a wait for a pipe's writer lasts before the cancellation flag is
// looked at again, in milliseconds.
constexpr int kWaitStep = 100;

[[noreturn]] void Fail(Error::Kind kind, const std::string& path, const char* what, int error) {
  std::string message = what;
  if (error != 0) message += std::string(": ") + std::strerror(error);
  throw IoError(kind, path, message);
}

// An open source file.  Opening never waits: a FIFO without a writer is
// opened at once, and its reads wait for the writer's bytes instead, so a
// caller's cancellation flag is seen while nothing comes.
class Source {
 public:
#ifdef _WIN32
  explicit Source(const std::string& path) : path_(path) {
    fd_ = _open(path.c_str(), _O_RDONLY | _O_BINARY);
    if (fd_ < 0) Fail(Error::Kind::cannot_open, path, "can't open", errno);
    struct _stat64 st;
    if (_fstat64(fd_, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG) SetSize(st.st_size);
  }
  ~Source() { _close(fd_); }
  std::size_t Read(byte* data, std::size_t size, const std::atomic<bool>* cancel) {
    StopIfCancelled(cancel);
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
    const int got = _read(fd_, data, chunk);
    if (got < 0) Fail(Error::Kind::read_failed, path_, "error reading", errno);
    return static_cast<std::size_t>(got);
  }
#else
  explicit Source(const std::string& path) : path_(path) {
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) Fail(Error::Kind::cannot_open, path, "can't open", errno);
    struct stat st;
    if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) SetSize(st.st_size);
  }
  ~Source() { close(fd_); }
  // Waits for bytes (or the end) on anything but a regular file, looking at
  // `cancel` between waits; a signal that interrupts a wait is one more
  // chance to look.
  std::size_t Read(byte* data, std::size_t size, const std::atomic<bool>* cancel) {
    for (;;) {
      StopIfCancelled(cancel);
      if (!regular_) {
        pollfd ready{fd_, POLLIN, 0};
        const int events = poll(&ready, 1, cancel != nullptr ? kWaitStep : -1);
        if (events < 0 && errno != EINTR)
          Fail(Error::Kind::read_failed, path_, "error waiting", errno);
        if (events <= 0) continue;
      }
      const ssize_t got = read(fd_, data, std::min<std::size_t>(size, 1u << 30));
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR && errno != EAGAIN)
        Fail(Error::Kind::read_failed, path_, "error reading", errno);
    }
  }
#endif
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  // The size a regular file reports, up to what is ever read; 0 for anything
  // else, whose size is unknown until its end.
  std::size_t Expected() const { return expected_; }

 private:
  void SetSize(long long size) {
    regular_ = true;
    expected_ = size <= 0                                         ? 0
                : static_cast<std::uint64_t>(size) < kMaxReadable ? static_cast<std::size_t>(size)
                                                                  : kMaxReadable;
  }

  std::string path_;
  int fd_ = -1;
  bool regular_ = false;
  std::size_t expected_ = 0;
};

// Fills bytes[from, end) as far as the source goes; returns the new end.
template <class Bytes>
std::size_t Fill(Source& source, Bytes& bytes, std::size_t from, const std::atomic<bool>* cancel) {
  while (from < bytes.size()) {
    const std::size_t got = source.Read(bytes.data() + from, bytes.size() - from, cancel);
    if (got == 0) break;
    from += got;
  }
  return from;
}

template <class Bytes>
Bytes ReadInto(const std::string& path, const std::atomic<bool>* cancel) {
  Source source(path);
  Bytes bytes;
  ResizeLarge(bytes, source.Expected());
  std::size_t filled = Fill(source, bytes, 0, cancel);
  byte next = 0;
  while (filled == bytes.size() && filled < kMaxReadable && source.Read(&next, 1, cancel) == 1) {
    // The file is longer than it said, or its size is unknown: go on in steps.
    bytes.resize(filled + std::min(std::max(kReadStep, filled), kMaxReadable - filled));
    bytes[filled++] = next;
    filled = Fill(source, bytes, filled, cancel);
  }
  bytes.resize(filled);
  return bytes;
}

}  // namespace

std::vector<byte> ReadFileBytes(const std::string& path) {
  return ReadInto<std::vector<byte>>(path, nullptr);
}

std::vector<byte> ReadFileBytes(const std::string& path, const std::atomic<bool>* cancel) {
  return ReadInto<std::vector<byte>>(path, cancel);
}

UninitialisedBytes ReadFileBytesUninitialised(const std::string& path) {
  return ReadInto<UninitialisedBytes>(path, nullptr);
}

}  // namespace torvik
