#include "texture_finder.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The file named `name` in `folder`, its case as 3DS files (written on
// systems that ignore case) don't keep it.
std::optional<std::filesystem::path> FindIn(const std::filesystem::path& folder,
                                            const std::string& name) {
  std::error_code error;
  if (std::filesystem::is_regular_file(folder / name, error)) return folder / name;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (SameIgnoringCase(entry.path().filename().string(), name) && entry.is_regular_file(error))
      return entry.path();
  return std::nullopt;
}

}  // namespace

TextureFinder TexturesBeside(const std::filesystem::path& model_file,
                             std::vector<std::filesystem::path> extra_folders) {
  std::filesystem::path folder = model_file.parent_path();
  if (folder.empty()) folder = ".";
  extra_folders.insert(extra_folders.begin(), folder);
  return [folders = std::move(extra_folders)](
             const std::string& name) -> std::optional<std::filesystem::path> {
    // A name with a folder in it (either slash) is looked up by its file name.
    const std::string file = name.substr(name.find_last_of("/\\") + 1);  // npos + 1 == 0
    if (file.empty()) return std::nullopt;
    for (const std::filesystem::path& folder : folders)
      if (std::optional<std::filesystem::path> found = FindIn(folder, file)) return found;
    return std::nullopt;
  };
}
