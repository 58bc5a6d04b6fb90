#include "texture_choices.h"

#include <filesystem>
#include <stdexcept>

std::vector<torvik::TextureChoice> ParseTextureChoices(const std::vector<std::string>& values) {
  std::vector<torvik::TextureChoice> choices;
  for (const std::string& value : values) {
    const std::size_t equals = value.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == value.size())
      throw std::invalid_argument("--texture needs NAME=FILE, not '" + value + "'");
    torvik::TextureChoice choice{value.substr(0, equals), value.substr(equals + 1)};
    std::error_code error;
    if (!std::filesystem::is_regular_file(choice.file, error))
      throw std::invalid_argument("--texture " + value + ": " + choice.file.string() +
                                  (std::filesystem::exists(choice.file, error)
                                       ? " is not a regular file"
                                       : " does not exist"));
    choices.push_back(std::move(choice));
  }
  return choices;
}
