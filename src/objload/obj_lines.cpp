#include "obj_lines.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>

#include "torvik32c/name_text.h"

namespace torvik::objload {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

StatementReader::StatementReader(std::span<const byte> text)
    : text_(reinterpret_cast<const char*>(text.data()), text.size()) {}

bool StatementReader::Next(Statement& statement) {
  while (at_ < text_.size()) {
    statement.line = ++line_;
    std::string_view line;
    joined_.clear();
    bool joining = false;
    for (;;) {
      const std::size_t end = std::min(text_.find('\n', at_), text_.size());
      std::string_view part = text_.substr(at_, end - at_);
      at_ = end < text_.size() ? end + 1 : end;
      while (!part.empty() && IsBlank(part.back())) part.remove_suffix(1);
      const bool continued = !part.empty() && part.back() == '\\' && at_ < text_.size();
      if (!continued && !joining) {
        line = part;
        break;
      }
      joining = true;
      if (continued) part.remove_suffix(1);
      joined_ += part;
      joined_ += ' ';
      if (!continued) {
        line = joined_;
        break;
      }
      ++line_;
    }
    const std::size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);
    statement.words.clear();
    std::size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && IsBlank(line[i])) ++i;
      const std::size_t start = i;
      while (i < line.size() && !IsBlank(line[i])) ++i;
      if (i > start) statement.words.push_back(line.substr(start, i - start));
    }
    if (statement.words.empty()) continue;
    const char* after = statement.words[0].data() + statement.words[0].size();
    statement.rest = Trimmed(line.substr(static_cast<std::size_t>(after - line.data())));
    return true;
  }
  return false;
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted += ShownText(text);
  quoted += '"';
  return quoted;
}

std::optional<float> Number(std::string_view word) {
  if (!word.empty() && word.front() == '+') word.remove_prefix(1);
  float value = 0;
#if defined(__cpp_lib_to_chars)
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
#else
  // Older libc++ (Emscripten's) reads no floating point with from_chars:
  // strtof, correctly rounded there too, on the word alone, refusing what
  // from_chars would (hexadecimal, a range error).
  if (word.size() > 1 && (word[1] == 'x' || word[1] == 'X' ||
                          (word.size() > 2 && (word[2] == 'x' || word[2] == 'X'))))
    return std::nullopt;
  const std::string text(word);
  char* end = nullptr;
  errno = 0;
  value = std::strtof(text.c_str(), &end);
  if (text.empty() || errno == ERANGE || end != text.c_str() + text.size()) return std::nullopt;
#endif
  return value;
}

}  // namespace torvik::objload
