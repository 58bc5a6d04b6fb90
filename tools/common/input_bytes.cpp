#include "input_bytes.h"

#include <filesystem>
#include <system_error>

std::vector<torvik::byte> ReadInputBytes(const std::string& path, const std::atomic<bool>* cancel,
                                         const torvik::StreamContent& content,
                                         std::uint64_t* rest) {
  if (path == kStandardInput) return torvik::ReadStandardInputBytes(cancel, content, rest);
  return torvik::ReadFileBytes(path, cancel, content, rest);
}

bool IsRegularInput(const std::string& path) {
  std::error_code error;
  return path != kStandardInput && std::filesystem::is_regular_file(path, error);
}
