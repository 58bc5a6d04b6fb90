#include "texture_folders.h"

#include <system_error>

#include "torvik32c/name_text.h"

std::vector<std::string> TextureFolderWarnings(const std::vector<std::filesystem::path>& folders) {
  std::vector<std::string> warnings;
  for (const std::filesystem::path& folder : folders) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder.empty() ? "." : folder, error))
      warnings.push_back(torvik::ShownPath(folder) + ": --texture-path is not a folder (ignored)");
  }
  return warnings;
}
