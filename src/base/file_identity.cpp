#include "torvik32c/file_identity.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <system_error>

namespace torvik {

std::string PlaceKey(const std::string& path) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  if (error) canonical = std::filesystem::absolute(path, error);
  std::string key = "path:" + canonical.string();
#ifdef _WIN32
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#endif
  return key;
}

std::string FileKey(const std::string& path) {
#ifndef _WIN32
  struct stat st;
  if (stat(path.c_str(), &st) == 0)
    return "file:" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
#endif
  return PlaceKey(path);
}

bool IsSameFile(const std::string& input, const std::string& output) {
  return FileKey(input) == FileKey(output);
}

void InputFiles::Add(const std::string& path) { keys_.insert(FileKey(path)); }

bool InputFiles::Contains(const std::string& path) const { return keys_.count(FileKey(path)) > 0; }

}  // namespace torvik
