#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "torvik32c/errors.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace torvik {

namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "/\\:";
#else
constexpr const char* kSeparators = "/";
#endif

#ifdef _WIN32
using StatBuf = struct _stat64;
int StatPath(const std::string& path, StatBuf* st) { return _stat64(path.c_str(), st); }
bool IsRegular(const StatBuf& st) { return (st.st_mode & _S_IFMT) == _S_IFREG; }
int OpenNew(const std::string& path) {
  return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int OpenInPlace(const std::string& path) {
  return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const char* data, std::size_t size) {
  const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
  return _write(fd, data, chunk);
}
int CloseFile(int fd) { return _close(fd); }
int RemoveFile(const std::string& path) { return _unlink(path.c_str()); }
bool ReplaceTarget(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
unsigned long ProcessId() { return static_cast<unsigned long>(_getpid()); }
std::string FollowLinks(const std::string& path) { return path; }
void KeepMode(int, const StatBuf&) {}
void StartWriteback(int, std::size_t, std::size_t) {}

// NUL, CON, COM1, LPT1.txt, ...: names that Windows gives its devices in
// every folder, which can only be written in place.
bool IsDeviceName(const std::string& path) {
  std::string name = path.substr(path.find_last_of("/\\:") + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name == "NUL" || name == "CON" || name == "PRN" || name == "AUX" || name == "CONIN$" ||
      name == "CONOUT$")
    return true;
  return name.size() == 4 && (name.starts_with("COM") || name.starts_with("LPT")) &&
         name[3] >= '1' && name[3] <= '9';
}
int InheritedDescriptor(const std::string&) { return -1; }
#else
using StatBuf = struct stat;
int StatPath(const std::string& path, StatBuf* st) { return stat(path.c_str(), st); }
bool IsRegular(const StatBuf& st) { return S_ISREG(st.st_mode); }
int OpenNew(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
int OpenInPlace(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}
long WriteSome(int fd, const char* data, std::size_t size) {
  return static_cast<long>(write(fd, data, size > (1u << 30) ? (1u << 30) : size));
}
int CloseFile(int fd) { return close(fd); }
int RemoveFile(const std::string& path) { return unlink(path.c_str()); }
bool ReplaceTarget(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

// The file a chain of symbolic links ends at (which need not exist yet).
std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096), '\0');
    const ssize_t length = readlink(current.c_str(), link.data(), link.size());
    if (length < 0) return current;
    link.resize(static_cast<std::size_t>(length));
    if (link.empty() || link[0] == '/') {
      current = link;
    } else {
      const std::size_t slash = current.rfind('/');
      current = slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
    }
  }
  return current;
}

void KeepMode(int fd, const StatBuf& st) {
  // Best effort: a file we may write but not chmod keeps the default mode.
  (void)fchmod(fd, st.st_mode & 07777);
}

bool IsDeviceName(const std::string&) { return false; }

// Starts writing [offset, offset + size) to the disk now.  A file renamed
// over an existing one has its blocks allocated and written out by the
// rename otherwise (ext4 does so to keep the data safe), which then takes
// as long as writing the whole file; started as the bytes come, that work
// overlaps the rest of the writing.
void StartWriteback(int fd, std::size_t offset, std::size_t size) {
#if defined(__linux__) && defined(SYNC_FILE_RANGE_WRITE)
  (void)sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(size),
                        SYNC_FILE_RANGE_WRITE);
#else
  (void)fd;
  (void)offset;
  (void)size;
#endif
}

// /dev/stdout, /dev/fd/N and /proc/self/fd/N name a descriptor the process
// already has open: writing through a copy of it goes wherever it goes (a
// pipe, a terminal, a file opened for appending), where opening the name
// again would truncate a redirected file or fail for a pipe.
int InheritedDescriptor(const std::string& path) {
  int fd = -1;
  if (path == "/dev/stdout") fd = 1;
  if (path == "/dev/stderr") fd = 2;
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const std::string start = prefix;
    if (path.size() > start.size() && path.size() < start.size() + 6 && path.starts_with(start) &&
        path.find_first_not_of("0123456789", start.size()) == std::string::npos)
      fd = std::stoi(path.substr(start.size()));
  }
  return fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, 3);
}
#endif

// The longest file name that file systems allow, in bytes (NAME_MAX).
constexpr std::size_t kLongestName = 255;

// A new name beside `target`: its name with a suffix of its own, the name cut
// short (at a character's start) so that the whole stays within the longest
// name allowed.
std::string TempName(const std::string& target) {
  static std::atomic<unsigned long> counter{0};
  const unsigned long stamp = static_cast<unsigned long>(
      std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFFFF);
  char suffix[64];
  const int suffix_length = std::snprintf(suffix, sizeof suffix, ".%lu-%lu-%lx.tmp", ProcessId(),
                                          counter.fetch_add(1), stamp);
  const std::size_t name_start = target.find_last_of(kSeparators) + 1;  // npos + 1 == 0
  std::size_t keep = target.size() - name_start;
  const std::size_t room = kLongestName - static_cast<std::size_t>(suffix_length);
  if (keep > room) {
    keep = room;
    while (keep > 0 && (static_cast<unsigned char>(target[name_start + keep]) & 0xC0) == 0x80)
      --keep;
  }
  return target.substr(0, name_start + keep) + suffix;
}

}  // namespace

OutputFile::OutputFile(const std::string& dest) : dest_(dest), target_(FollowLinks(dest)) {
  StatBuf st;
  // stat follows every link, including the ones in /proc that FollowLinks
  // can't (a pipe's "pipe:[123]"), so a pipe or device is never renamed over.
  const bool exists = StatPath(dest_, &st) == 0;
  const int inherited = InheritedDescriptor(dest_);
  if (inherited >= 0) {
    fd_ = inherited;
  } else if ((exists && !IsRegular(st)) || IsDeviceName(dest_)) {
    fd_ = OpenInPlace(dest_);
  } else {
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      temp_ = TempName(target_);
      fd_ = OpenNew(temp_);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ >= 0 && exists) KeepMode(fd_, st);
    replacing_ = fd_ >= 0 && exists;
  }
  if (fd_ < 0) {
    const int error = errno;
    temp_.clear();
    throw IoError(Error::Kind::cannot_open, dest_,
                  std::string("can't open for writing: ") + std::strerror(error));
  }
}

OutputFile::~OutputFile() {
  if (!committed_) Discard();
}

void OutputFile::Discard() {
  if (fd_ >= 0) CloseFile(fd_);
  fd_ = -1;
  if (!temp_.empty()) RemoveFile(temp_);
  temp_.clear();
}

void OutputFile::WriteFailed() {
  const int error = errno;
  Discard();
  throw IoError(Error::Kind::write_failed, dest_,
                std::string("error writing: ") + std::strerror(error));
}

void OutputFile::Write(const void* data, std::size_t size) {
  const std::size_t offset = written_;
  const char* bytes = static_cast<const char*>(data);
  for (std::size_t left = size; left > 0;) {
    const long written = WriteSome(fd_, bytes, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) WriteFailed();
    bytes += written;
    left -= static_cast<std::size_t>(written);
  }
  written_ += size;
  if (replacing_) StartWriteback(fd_, offset, size);
}

void OutputFile::Commit() {
  const int result = CloseFile(fd_);
  fd_ = -1;
  if (result != 0) WriteFailed();
  if (!temp_.empty() && !ReplaceTarget(temp_, target_)) WriteFailed();
  temp_.clear();
  committed_ = true;
}

}  // namespace torvik
