#include "output_folder.h"

#include <filesystem>
#include <system_error>

#include "torvik32c/name_text.h"

FolderCheck PrepareOutputFolder(const std::string& folder) {
  if (folder.empty()) return {};  // the current folder
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(folder, error);
  if (std::filesystem::is_directory(status)) return {};
  if (std::filesystem::exists(status))
    return {2, torvik::ShownText(folder) + ": -d needs a folder, not a file"};
  std::filesystem::create_directories(folder, error);
  if (error)
    return {1, torvik::ShownText(folder) + ": can't create the folder: " + error.message()};
  return {};
}
