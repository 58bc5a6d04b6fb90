// The statements of an OBJ or MTL file, line by line: a line ending with a
// backslash goes on with the next one, '#' starts a comment, words are
// separated by blanks.  Numbers read exactly (std::from_chars), the same on
// every build.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "torvik32c/types.h"

namespace torvik::objload {

struct Statement {
  std::size_t line = 0;                 // where it begins, from 1
  std::vector<std::string_view> words;  // the keyword first
  std::string_view rest;                // the text after the keyword, blanks trimmed
};

class StatementReader {
 public:
  explicit StatementReader(std::span<const byte> text);
  // The next statement that has a word; false at the end.
  bool Next(Statement& statement);

 private:
  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t line_ = 0;
  std::string joined_;  // a line continued over several
};

// `text` in double quotes, shown as ShownText shows it.
std::string Quoted(std::string_view text);

// The word as a number (a leading '+' allowed), or nothing.
std::optional<float> Number(std::string_view word);

}  // namespace torvik::objload
