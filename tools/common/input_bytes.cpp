#include "input_bytes.h"

#include <filesystem>
#include <system_error>

#include "torvik32c/file_bytes.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "torvik32c/errors.h"
#endif

std::vector<torvik::byte> ReadInputBytes(const std::string& path, const std::atomic<bool>* cancel) {
  if (path != kStandardInput) return torvik::ReadFileBytes(path, cancel);
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  std::vector<torvik::byte> bytes;
  torvik::byte block[65536];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, stdin)) > 0;) {
    torvik::StopIfCancelled(cancel);
    bytes.insert(bytes.end(), block, block + got);
  }
  if (std::ferror(stdin))
    throw torvik::IoError(torvik::Error::Kind::read_failed, path, "error reading standard input");
  return bytes;
#else
  return torvik::ReadFileBytes("/dev/stdin", cancel);
#endif
}

bool IsRegularInput(const std::string& path) {
  std::error_code error;
  return path != kStandardInput && std::filesystem::is_regular_file(path, error);
}
