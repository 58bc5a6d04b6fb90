// What begins each warning about a model: "PATH: ", the path shown as
// ShownPath shows it, or nothing for a model that lies nowhere.
#pragma once

#include <filesystem>
#include <string>

#include "torvik32c/name_text.h"

namespace torvik {

inline std::string ModelPrefix(const std::filesystem::path& model_file) {
  return model_file.empty() ? std::string() : ShownPath(model_file) + ": ";
}

}  // namespace torvik
