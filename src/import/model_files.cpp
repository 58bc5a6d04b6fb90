// The files beside a model: references checked, files read from the model's
// folder and below it only.
#include <cctype>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "torvik32c/file_bytes.h"
#include "torvik32c/model_import.h"
#include "torvik32c/name_text.h"

namespace torvik {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `text` with its %XX escapes decoded; nothing when an escape is broken.
std::optional<std::string> PercentDecoded(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

// Whether `text` begins with a URI scheme ("http:", "file:") or a drive
// letter ("C:").
bool HasScheme(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

// Whether `inner` is `folder` or lies below it (both absolute and without
// links, "." or "..").
bool Within(const std::filesystem::path& inner, const std::filesystem::path& folder) {
  auto i = inner.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++i) {
    if (f->empty()) continue;  // a trailing separator
    if (i == inner.end() || *i != *f) return false;
  }
  return true;
}

}  // namespace

std::string CheckedRelativePath(std::string_view reference, bool decode_percent) {
  std::string text(reference);
  if (decode_percent) {
    std::optional<std::string> decoded = PercentDecoded(reference);
    if (!decoded) return "";
    text = std::move(*decoded);
  }
  if (text.empty() || HasScheme(text) || text[0] == '/' || text[0] == '\\') return "";
  std::string path;
  std::string component;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : '/';
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "";
    if (c != '/' && c != '\\') {
      component += c;
      continue;
    }
    if (component == "..") return "";
    if (component.empty() && i < text.size()) return "";  // "a//b"
    if (!component.empty() && component != ".") path += (path.empty() ? "" : "/") + component;
    component.clear();
  }
  return path;
}

FileReader FolderFiles(const std::filesystem::path& folder) {
  return [folder](const std::string& path, std::uint64_t most_bytes) {
    const std::filesystem::path file = folder / std::filesystem::path(path);
    std::error_code error;
    const std::filesystem::path real_folder = std::filesystem::weakly_canonical(folder, error);
    const std::filesystem::path real_file =
        error ? std::filesystem::path() : std::filesystem::weakly_canonical(file, error);
    if (error || !Within(real_file, real_folder))
      throw IoError(Error::Kind::cannot_open, file.string(),
                    ShownPath(file) + ": leads out of the model's folder");
    const std::uintmax_t size = std::filesystem::file_size(real_file, error);
    if (!error && size > most_bytes)
      throw Error(Error::Kind::too_large, ShownPath(file) + ": " + std::to_string(size) +
                                              " bytes, more than the " +
                                              std::to_string(most_bytes) + " left to read");
    std::vector<byte> bytes = ReadFileBytes(real_file.string());
    if (bytes.size() > most_bytes)
      throw Error(Error::Kind::too_large, ShownPath(file) + ": more than the " +
                                              std::to_string(most_bytes) + " bytes left to read");
    return bytes;
  };
}

FileReader GivenFiles(std::map<std::string, std::vector<byte>> files) {
  std::map<std::string, std::vector<byte>> by_path;
  for (auto& [name, bytes] : files) {
    const std::string path = CheckedRelativePath(name, false);
    if (path.empty())
      throw std::invalid_argument(ShownText(name) + ": not a path within the model's folder");
    by_path[path] = std::move(bytes);
  }
  return [shared = std::make_shared<const std::map<std::string, std::vector<byte>>>(
              std::move(by_path))](const std::string& path, std::uint64_t most_bytes) {
    const auto found = shared->find(path);
    if (found == shared->end())
      throw IoError(Error::Kind::cannot_open, path,
                    ShownPath(path) + ": not among the files given with the model");
    if (found->second.size() > most_bytes)
      throw Error(Error::Kind::too_large,
                  ShownPath(path) + ": " + std::to_string(found->second.size()) +
                      " bytes, more than the " + std::to_string(most_bytes) + " left to read");
    return found->second;
  };
}

FileReader FilesBeside(const std::string& model_file) {
  if (model_file.empty() || model_file == "-") return {};
  const std::filesystem::path folder = std::filesystem::path(model_file).parent_path();
  return FolderFiles(folder.empty() ? std::filesystem::path(".") : folder);
}

}  // namespace torvik
