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
#ifdef _WIN32
// What errors call standard input.
constexpr const char* kStandardInputName = "standard input";
#endif

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
    Measure();
  }
  // Standard input, which stays open.
  Source() : path_(kStandardInputName), fd_(_fileno(stdin)), owned_(false) {
    _setmode(fd_, _O_BINARY);
    Measure();
  }
  ~Source() {
    if (owned_) _close(fd_);
  }
  std::size_t Read(byte* data, std::size_t size, const std::atomic<bool>* cancel) {
    StopIfCancelled(cancel);
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
    const int got = _read(fd_, data, chunk);
    if (got < 0) Fail(Error::Kind::read_failed, path_, "error reading", errno);
    return static_cast<std::size_t>(got);
  }

 private:
  void Measure() {
    struct _stat64 st;
    if (_fstat64(fd_, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG) SetSize(st.st_size);
  }

 public:
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
  bool Regular() const { return regular_; }

 private:
  void SetSize(long long size) {
    regular_ = true;
    expected_ = size <= 0                                         ? 0
                : static_cast<std::uint64_t>(size) < kMaxReadable ? static_cast<std::size_t>(size)
                                                                  : kMaxReadable;
  }

  std::string path_;
  int fd_ = -1;
#ifdef _WIN32
  bool owned_ = true;
#endif
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

// Reads the whole of `source`: a regular file by its size, a stream to its end.
template <class Bytes>
Bytes ReadWhole(Source& source, const std::atomic<bool>* cancel) {
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

// Counts what is left of `source`, up to `most` bytes, without keeping it.
std::size_t CountRest(Source& source, std::size_t most, const std::atomic<bool>* cancel) {
  std::vector<byte> scratch(std::min(kReadStep, most));
  std::size_t counted = 0;
  while (counted < most) {
    const std::size_t got =
        source.Read(scratch.data(), std::min(scratch.size(), most - counted), cancel);
    if (got == 0) break;
    counted += got;
  }
  return counted;
}

// Reads a stream as far as its content goes (see StreamContent): its length
// is asked after every read until it is told, so that a stream that is not
// of the format stops after its first bytes.  The bytes kept never depend on
// how the stream's reads fall.
template <class Bytes>
Bytes ReadContent(Source& source, const std::atomic<bool>* cancel, const StreamContent& content,
                  std::uint64_t* rest) {
  Bytes bytes;
  std::size_t filled = 0, limit = kMaxReadable;
  std::optional<StreamEnd> end;
  bool ended = false;
  for (;;) {
    if (!end) {
      end = content(std::span<const byte>(bytes.data(), filled));
      if (end) limit = std::min(end->length, kMaxReadable);
    }
    if (filled >= limit) break;
    if (filled == bytes.size()) bytes.resize(std::min(limit, filled + std::max(kReadStep, filled)));
    const std::size_t got = source.Read(bytes.data() + filled, bytes.size() - filled, cancel);
    if (got == 0) {
      ended = true;
      break;
    }
    filled += got;
  }
  std::size_t after = 0;
  if (filled > limit) after = filled - limit, filled = limit;
  bytes.resize(filled);
  const bool count_rest = end && end->count_rest;
  if (count_rest && !ended) after += CountRest(source, kMaxReadable - filled - after, cancel);
  if (rest != nullptr) *rest = count_rest ? after : 0;
  return bytes;
}

template <class Bytes>
Bytes ReadInto(Source& source, const std::atomic<bool>* cancel, const StreamContent* content,
               std::uint64_t* rest) {
  if (rest != nullptr) *rest = 0;
  if (source.Regular() || content == nullptr || !*content) return ReadWhole<Bytes>(source, cancel);
  return ReadContent<Bytes>(source, cancel, *content, rest);
}

template <class Bytes>
Bytes ReadInto(const std::string& path, const std::atomic<bool>* cancel,
               const StreamContent* content = nullptr, std::uint64_t* rest = nullptr) {
  Source source(path);
  return ReadInto<Bytes>(source, cancel, content, rest);
}

}  // namespace

std::vector<byte> ReadFileBytes(const std::string& path) {
  return ReadInto<std::vector<byte>>(path, nullptr);
}

std::vector<byte> ReadFileBytes(const std::string& path, const std::atomic<bool>* cancel) {
  return ReadInto<std::vector<byte>>(path, cancel);
}

std::vector<byte> ReadFileBytes(const std::string& path, const std::atomic<bool>* cancel,
                                const StreamContent& content, std::uint64_t* rest) {
  return ReadInto<std::vector<byte>>(path, cancel, &content, rest);
}

std::vector<byte> ReadStandardInputBytes(const std::atomic<bool>* cancel,
                                         const StreamContent& content, std::uint64_t* rest) {
#ifdef _WIN32
  Source source;
  return ReadInto<std::vector<byte>>(source, cancel, &content, rest);
#else
  return ReadInto<std::vector<byte>>("/dev/stdin", cancel, &content, rest);
#endif
}

UninitialisedBytes ReadFileBytesUninitialised(const std::string& path,
                                              const StreamContent& content) {
  return ReadInto<UninitialisedBytes>(path, nullptr, &content);
}

}  // namespace torvik
