#include "torvik32c/reports.h"

namespace torvik {

std::string QuotedName(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F)
      text.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 0xF]);
    else
      text += c;
  }
  return text + "\"";
}

}  // namespace torvik
