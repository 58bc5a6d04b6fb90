#include "output_paths.h"

#include <algorithm>
#include <cctype>

std::string WithExtension(const std::string& path, const std::string& from, const std::string& to) {
  const std::size_t name_start = path.find_last_of("/\\") + 1;  // npos + 1 == 0
  const bool ends_in_from =
      path.size() - name_start > from.size() &&
      std::equal(from.rbegin(), from.rend(), path.rbegin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
      });
  return (ends_in_from ? path.substr(0, path.size() - from.size()) : path) + to;
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

std::filesystem::path FolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}
