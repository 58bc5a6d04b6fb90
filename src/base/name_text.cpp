#include "torvik32c/name_text.h"

#include <cstdint>

#include "base/utf8.h"

namespace torvik {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// The code points of Windows-1252's bytes 0x80 to 0x9F; the rest of the
// code page is Latin-1.
constexpr std::uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendEscape(std::string& out, const char* prefix, unsigned char value) {
  out.append(prefix).append(1, kHex[value >> 4]).append(1, kHex[value & 0xF]);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
  }
  return out;
}

std::string NameUtf8(std::string_view stored, const NameDecoder& decode) {
  if (IsValidUtf8(stored)) return std::string(stored);
  if (!decode) return Windows1252ToUtf8(stored);
  // Whatever a decoder gives (iconv's UTF-8 of a code past U+10FFFF has 5
  // or 6 bytes), what is written as text is valid UTF-8.
  std::string text = decode(stored);
  return IsValidUtf8(text) ? text : ReplaceInvalidUtf8(text);
}

std::string ShownText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0 || byte < 0x20 || byte == 0x7F) {
      AppendEscape(out, "\\x", byte);
      ++i;
    } else if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      AppendEscape(out, "\\u00", static_cast<unsigned char>(text[i + 1]));
      i += 2;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string ShownName(std::string_view stored, const NameDecoder& decode) {
  return ShownText(NameUtf8(stored, decode));
}

std::string ShownPath(const std::filesystem::path& path) { return ShownText(path.string()); }

}  // namespace torvik
