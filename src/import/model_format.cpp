// The format of a model, told by its content.
#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "base/little_endian.h"
#include "torvik32c/model_import.h"

namespace torvik {

namespace {

constexpr uword kMainChunk = 0x4D4D;
constexpr std::size_t kBinaryGltfHeader = 12;

// How far the content is looked at for JSON's "asset" and OBJ's statements.
constexpr std::size_t kTextLooked = 64 * 1024;

bool IsBlank(byte c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string LowerExtension(std::string_view file_name) {
  const std::size_t dot = file_name.find_last_of('.');
  const std::size_t slash = file_name.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return "";
  std::string extension(file_name.substr(dot + 1));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

// A JSON object (after an optional UTF-8 byte order mark and blanks) that
// names "asset" in what is looked at.
bool LooksLikeGltfJson(std::span<const byte> head) {
  std::size_t i = 0;
  if (head.size() >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) i = 3;
  while (i < head.size() && IsBlank(head[i])) ++i;
  if (i >= head.size() || head[i] != '{') return false;
  const std::string_view text(reinterpret_cast<const char*>(head.data()),
                              std::min(head.size(), kTextLooked));
  return text.find("\"asset\"") != std::string_view::npos;
}

// Text whose first statement (past blank lines and comments) is one that
// OBJ files begin with, and no NUL byte in what is looked at.
bool LooksLikeObj(std::span<const byte> head) {
  const std::span<const byte> looked = head.first(std::min(head.size(), kTextLooked));
  if (std::find(looked.begin(), looked.end(), byte{0}) != looked.end()) return false;
  static constexpr std::array<std::string_view, 13> kStatements = {
      "v", "vt", "vn", "vp", "f", "l", "p", "o", "g", "s", "mtllib", "usemtl", "cstype"};
  std::size_t i = 0;
  while (i < looked.size()) {
    while (i < looked.size() && IsBlank(looked[i])) ++i;
    if (i >= looked.size()) return false;
    if (looked[i] == '#') {
      while (i < looked.size() && looked[i] != '\n') ++i;
      continue;
    }
    std::size_t end = i;
    while (end < looked.size() && !IsBlank(looked[end])) ++end;
    if (end == looked.size() && end - i < 8) return false;  // cut short: can't tell
    const std::string_view word(reinterpret_cast<const char*>(looked.data()) + i, end - i);
    return std::find(kStatements.begin(), kStatements.end(), word) != kStatements.end();
  }
  return false;
}

}  // namespace

const char* ModelFormatName(ModelFormat format) {
  switch (format) {
    case ModelFormat::gltf_binary:
    case ModelFormat::gltf_text:
      return "glTF";
    case ModelFormat::obj:
      return "OBJ";
    case ModelFormat::three_ds:
      break;
  }
  return "3DS";
}

ModelFormat DetectModelFormat(std::span<const byte> head, std::string_view file_name) {
  if (head.size() >= 2 && load_u16(head.data()) == kMainChunk) return ModelFormat::three_ds;
  if (head.size() >= 4 && head[0] == 'g' && head[1] == 'l' && head[2] == 'T' && head[3] == 'F')
    return ModelFormat::gltf_binary;
  if (LooksLikeGltfJson(head)) return ModelFormat::gltf_text;
  if (LooksLikeObj(head)) return ModelFormat::obj;
  const std::string extension = LowerExtension(file_name);
  if (extension == "glb") return ModelFormat::gltf_binary;
  if (extension == "gltf") return ModelFormat::gltf_text;
  if (extension == "obj") return ModelFormat::obj;
  return ModelFormat::three_ds;
}

StreamContent ModelStreamContent() {
  const StreamContent three_ds = ThreeDsStreamContent();
  return [three_ds](std::span<const byte> read) -> std::optional<StreamEnd> {
    if (read.size() < 2) return std::nullopt;
    if (load_u16(read.data()) == kMainChunk) return three_ds(read);
    if (read.size() < 4) return std::nullopt;
    if (read[0] == 'g' && read[1] == 'l' && read[2] == 'T' && read[3] == 'F') {
      if (read.size() < kBinaryGltfHeader) return std::nullopt;
      return StreamEnd{.length =
                           std::max<std::size_t>(load_u32(read.data() + 8), kBinaryGltfHeader)};
    }
    // Text that may be a glTF's JSON or an OBJ file is read to its end;
    // anything else stops where a 3DS stream would, so that a stream that
    // is no model fails without waiting for its end.
    std::size_t first = read[0] == 0xEF ? 3 : 0;  // a UTF-8 byte order mark
    while (first < read.size() && IsBlank(read[first])) ++first;
    if (first >= read.size()) return std::nullopt;
    const auto word_end = std::find_if(read.begin() + static_cast<std::ptrdiff_t>(first),
                                       read.end(), [](byte c) { return IsBlank(c); });
    if (read[first] == '{' || read[first] == '#' || LooksLikeObj(read))
      return StreamEnd{.length = static_cast<std::size_t>(kMaxModelBytes)};
    if (word_end == read.end() && read.size() - first < 8) return std::nullopt;
    return three_ds(read);
  };
}

}  // namespace torvik
