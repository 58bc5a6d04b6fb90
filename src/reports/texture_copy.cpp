#include "torvik32c/texture_copy.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "torvik32c/reports.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace torvik {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
int OpenNew(const fs::path& path) {
  return _open(path.string().c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
               _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const char* data, std::size_t size) {
  return _write(fd, data, static_cast<unsigned>(size));
}
int CloseFile(int fd) { return _close(fd); }
unsigned long ProcessId() { return static_cast<unsigned long>(_getpid()); }
// Windows renames onto no existing name.
bool PlaceNew(const fs::path& from, const fs::path& to) {
  return std::rename(from.string().c_str(), to.string().c_str()) == 0;
}
int OpenSource(const fs::path& path) { return _open(path.string().c_str(), _O_RDONLY | _O_BINARY); }
long ReadSome(int fd, char* data, std::size_t size) {
  return _read(fd, data, static_cast<unsigned>(size));
}
bool SeekTo(int fd, std::uint64_t at) {
  return _lseeki64(fd, static_cast<long long>(at), SEEK_SET) != -1;
}
std::int64_t SizeOf(int fd) {
  struct _stat64 st;
  return _fstat64(fd, &st) == 0 ? st.st_size : -1;
}
bool SetSize(int fd, std::uint64_t size) {
  return _chsize_s(fd, static_cast<long long>(size)) == 0;
}
// Where the next stretch of data at or after `at` starts, and where it ends.
bool NextData(int, std::uint64_t at, std::uint64_t size, std::uint64_t& start, std::uint64_t& end) {
  start = at;
  end = size;
  return at < size;
}
#else
int OpenNew(const fs::path& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
long WriteSome(int fd, const char* data, std::size_t size) {
  return static_cast<long>(write(fd, data, size));
}
int CloseFile(int fd) { return close(fd); }
unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }
// Gives the new file the name `to` only if nothing has that name, not even a
// link (a hard link fails then, where a rename would replace it); a file
// system without hard links gets a rename after a last look.
bool PlaceNew(const fs::path& from, const fs::path& to) {
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  struct stat st;
  if (lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return std::rename(from.c_str(), to.c_str()) == 0;
}
int OpenSource(const fs::path& path) { return open(path.c_str(), O_RDONLY | O_CLOEXEC); }
long ReadSome(int fd, char* data, std::size_t size) {
  return static_cast<long>(read(fd, data, size));
}
bool SeekTo(int fd, std::uint64_t at) { return lseek(fd, static_cast<off_t>(at), SEEK_SET) != -1; }
std::int64_t SizeOf(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}
bool SetSize(int fd, std::uint64_t size) { return ftruncate(fd, static_cast<off_t>(size)) == 0; }
// Where the next stretch of data at or after `at` starts, and where it ends:
// the holes of a sparse texture are neither read nor written, and stay holes.
bool NextData(int fd, std::uint64_t at, std::uint64_t size, std::uint64_t& start,
              std::uint64_t& end) {
  start = at;
  end = size;
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
  const off_t data = lseek(fd, static_cast<off_t>(at), SEEK_DATA);
  if (data < 0) return errno != ENXIO && at < size;  // ENXIO: a hole to the end
  const off_t hole = lseek(fd, data, SEEK_HOLE);
  start = static_cast<std::uint64_t>(data);
  if (hole >= 0) end = std::min(size, static_cast<std::uint64_t>(hole));
#else
  (void)fd;
#endif
  return start < size;
}
#endif

// The stored name's last component: '\' and '/' both separate, and a drive
// letter goes.
std::string LastComponent(const std::string& stored) {
  std::string last = stored.substr(stored.find_last_of("\\/") + 1);
  if (last.size() > 2 && last[1] == ':') last.erase(0, 2);
  return last == "." || last == ".." ? std::string() : last;
}

// Whether a name holds a control character (C0 or DEL): a file named with a
// newline or a backspace in it would garble every listing of its folder.
bool HoldsControlCharacter(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    const auto code = static_cast<unsigned char>(c);
    return code < 0x20 || code == 0x7F;
  });
}

bool SameBytes(const fs::path& a, const fs::path& b) {
  std::error_code error;
  const auto size = fs::file_size(a, error);
  if (error || size != fs::file_size(b, error) || error) return false;
  std::ifstream in_a(a, std::ios::binary), in_b(b, std::ios::binary);
  std::vector<char> block_a(1 << 16), block_b(1 << 16);
  while (in_a && in_b) {
    in_a.read(block_a.data(), static_cast<std::streamsize>(block_a.size()));
    in_b.read(block_b.data(), static_cast<std::streamsize>(block_b.size()));
    if (in_a.gcount() != in_b.gcount() ||
        !std::equal(block_a.begin(), block_a.begin() + in_a.gcount(), block_b.begin()))
      return false;
  }
  return in_a.eof() && in_b.eof();
}

std::string Reason(int error) { return std::strerror(error); }

// A new file beside the destination, removed unless it is put in place.
class TemporaryCopy {
 public:
  explicit TemporaryCopy(const fs::path& folder) {
    static std::atomic<unsigned long> counter{0};
    // A short name of its own, whatever the length of the destination's.
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      path_ = folder / (".copy-" + std::to_string(ProcessId()) + "-" +
                        std::to_string(counter.fetch_add(1)) + ".tmp");
      fd_ = OpenNew(path_);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0)
      throw std::runtime_error("can't create a file in " + ShownPath(folder) + ": " +
                               Reason(errno));
  }
  ~TemporaryCopy() {
    if (fd_ >= 0) CloseFile(fd_);
    if (!path_.empty()) std::remove(path_.string().c_str());
  }
  TemporaryCopy(const TemporaryCopy&) = delete;
  TemporaryCopy& operator=(const TemporaryCopy&) = delete;

  // Copies `source` to its end; throws unless every byte of it arrived.
  void Fill(const fs::path& source) {
    const int in = OpenSource(source);
    if (in < 0) throw std::runtime_error("can't open it: " + Reason(errno));
    const std::unique_ptr<const int, void (*)(const int*)> closer(
        &in, [](const int* fd) { CloseFile(*fd); });
    const std::int64_t measured = SizeOf(in);
    if (measured < 0) throw std::runtime_error("can't measure it: " + Reason(errno));
    const std::uint64_t size = static_cast<std::uint64_t>(measured);
    std::vector<char> block(1 << 20);
    std::uint64_t start = 0, end = 0;
    for (std::uint64_t at = 0; NextData(in, at, size, start, end); at = end) {
      if (!SeekTo(in, start) || !SeekTo(fd_, start))
        throw std::runtime_error("can't seek: " + Reason(errno));
      for (std::uint64_t left = end - start; left > 0;) {
        const long got = ReadSome(in, block.data(), std::min<std::uint64_t>(left, block.size()));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw std::runtime_error("error reading it: " + Reason(errno));
        if (got == 0)
          throw std::runtime_error("it shrank while being copied (" + std::to_string(end - left) +
                                   " bytes of " + std::to_string(size) + ")");
        Write(block.data(), static_cast<std::size_t>(got));
        left -= static_cast<std::uint64_t>(got);
      }
    }
    if (SizeOf(in) != measured) throw std::runtime_error("it changed size while being copied");
    if (!SetSize(fd_, size)) throw std::runtime_error("error writing: " + Reason(errno));
    const int closed = CloseFile(fd_);
    fd_ = -1;
    if (closed != 0) throw std::runtime_error("error writing: " + Reason(errno));
  }

  // Writes `bytes` as the whole file; throws unless every byte arrived.
  void FillBytes(std::span<const byte> bytes) {
    Write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const int closed = CloseFile(fd_);
    fd_ = -1;
    if (closed != 0) throw std::runtime_error("error writing: " + Reason(errno));
  }

  // Puts the copy in place at `dest` unless something took that name.
  void Place(const fs::path& dest) {
    if (!PlaceNew(path_, dest)) {
      const int error = errno;
      if (error == EEXIST) throw std::runtime_error(ShownPath(dest) + " appeared meanwhile");
      throw std::runtime_error("can't rename into place: " + Reason(error));
    }
    path_.clear();
  }

 private:
  void Write(const char* data, std::size_t size) {
    while (size > 0) {
      const long written = WriteSome(fd_, data, std::min<std::size_t>(size, 1u << 30));
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) throw std::runtime_error("error writing: " + Reason(errno));
      data += written;
      size -= static_cast<std::size_t>(written);
    }
  }

  fs::path path_;
  int fd_ = -1;
};

// What stands at `dest` already: nothing (an empty result), the same
// bytes (`same_bytes` says so: copied), or something never replaced (the
// problem says why).  `what` names the texture in the problem.
std::optional<TextureCopy> ExistingDestination(const fs::path& dest, const std::string& what,
                                               BatchCopies* batch,
                                               const std::function<bool()>& same_bytes) {
  TextureCopy result;
  const std::string shown_dest = ShownPath(dest);
  if (batch != nullptr && batch->IsOutput(dest)) {
    result.problem = what + ": " + shown_dest + " is an output of this run: not copied";
    return result;
  }
  std::error_code error;
  const fs::file_status status = fs::symlink_status(dest, error);
  if (!fs::exists(status)) return std::nullopt;
  const std::string earlier = batch != nullptr ? batch->CopiedFor(dest) : "";
  if (same_bytes()) {
    result.copied = true;
  } else if (fs::is_symlink(status)) {
    result.problem = what + ": " + shown_dest + " is a symbolic link: not written through";
  } else if (!earlier.empty()) {
    result.problem = what + ": " + shown_dest + " is already the copy of another texture for " +
                     ShownText(earlier) + ": not overwritten";
  } else {
    result.problem =
        what + ": " + shown_dest + " already exists with other contents: not overwritten";
  }
  return result;
}

}  // namespace

TextureCopy CopyTexture(const TextureResolution& texture, const fs::path& folder,
                        BatchCopies* batch, const std::string& input, const NameDecoder& names,
                        const std::string& as) {
  TextureCopy result;
  if (!texture.found()) return result;
  const std::string name = MapNoun(texture.kind) + " " + QuotedName(texture.name, names);
  const std::string last = as.empty() ? LastComponent(texture.name) : as;
  if (last.empty()) {
    result.problem = name + " names no file to copy to";
    return result;
  }
  if (HoldsControlCharacter(last)) {
    result.problem =
        name + ": its name holds control characters, which no copy is named with: " + "not copied";
    return result;
  }
  const fs::path dest = folder / last;
  if (std::optional<TextureCopy> existing = ExistingDestination(dest, name, batch, [&] {
        std::error_code error;
        return fs::equivalent(*texture.path, dest, error) ||
               (fs::is_regular_file(fs::symlink_status(dest, error)) &&
                SameBytes(*texture.path, dest));
      }))
    return *existing;
  try {
    TemporaryCopy copy(folder);
    copy.Fill(*texture.path);
    copy.Place(dest);
  } catch (const std::exception& failure) {
    result.problem = name + ": can't copy " + ShownPath(*texture.path) + " to " + ShownPath(dest) +
                     ": " + failure.what();
    return result;
  }
  if (batch != nullptr) batch->RecordCopy(dest, input);
  result.copied = true;
  return result;
}

TextureCopy WriteEmbeddedImage(const EmbeddedImage& image, const fs::path& folder,
                               BatchCopies* batch, const std::string& input) {
  TextureCopy result;
  const std::string name = "embedded image \"" + ShownText(image.texture_name) + "\"";
  const fs::path dest = folder / image.file_name;
  if (std::optional<TextureCopy> existing = ExistingDestination(dest, name, batch, [&] {
        std::error_code error;
        if (!fs::is_regular_file(fs::symlink_status(dest, error)) ||
            fs::file_size(dest, error) != image.bytes.size())
          return false;
        std::ifstream in(dest, std::ios::binary);
        std::vector<char> stored(image.bytes.size());
        in.read(stored.data(), static_cast<std::streamsize>(stored.size()));
        return in.gcount() == static_cast<std::streamsize>(stored.size()) &&
               std::equal(stored.begin(), stored.end(), image.bytes.begin(),
                          [](char a, byte b) { return static_cast<byte>(a) == b; });
      }))
    return *existing;
  try {
    TemporaryCopy copy(folder);
    copy.FillBytes(image.bytes);
    copy.Place(dest);
  } catch (const std::exception& failure) {
    result.problem = name + ": can't write " + ShownPath(dest) + ": " + failure.what();
    return result;
  }
  if (batch != nullptr) batch->RecordCopy(dest, input);
  result.copied = true;
  return result;
}

EmbeddedImagesWritten WriteEmbeddedImages(const std::vector<EmbeddedImage>& images,
                                          const fs::path& bmf, const std::string& input,
                                          BatchCopies* batch) {
  EmbeddedImagesWritten result;
  fs::path folder = bmf.parent_path();
  if (folder.empty()) folder = ".";
  for (const EmbeddedImage& image : images) {
    const TextureCopy written = WriteEmbeddedImage(image, folder, batch, input);
    if (!written.problem.empty())
      result.warnings.push_back(ShownText(input) + ": " + written.problem);
    result.paths.push_back(written.copied ? folder / image.file_name : fs::path());
  }
  return result;
}

}  // namespace torvik
