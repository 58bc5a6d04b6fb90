#include <cmath>
#include <cstdio>

#include "base/float_decimal.h"
#include "base/utf8.h"
#include "torvik32c/reports.h"

namespace torvik {

namespace {

void AppendEscaped(std::string& out, unsigned char c) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
  out += escaped;
}

}  // namespace

std::string ValidUtf8(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const std::size_t length = Utf8SequenceLength(text, i); length > 0) {
      out.append(text, i, length);
      i += length - 1;
    } else {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          AppendEscaped(out, c);
        } else if (c < 0x80) {
          out += static_cast<char>(c);
        } else if (const std::size_t length = Utf8SequenceLength(text, i);
                   length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
          // The C1 controls (U+0080 to U+009F): a terminal that shows the
          // line may take U+009B for the start of a control sequence.
          AppendEscaped(out, static_cast<unsigned char>(text[i + 1]));
          ++i;
        } else if (length != 0) {
          out.append(text, i, length);
          i += length - 1;
        } else {
          AppendEscaped(out, c);
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(float value) {
  if (!std::isfinite(value)) return "null";
  return ShortestDecimal(value);
}

std::string Counted(std::size_t count, const std::string& noun, const std::string& plural) {
  if (count == 1) return "1 " + noun;
  return std::to_string(count) + " " + (plural.empty() ? noun + "s" : plural);
}

}  // namespace torvik
