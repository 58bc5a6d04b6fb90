// Floats as the fewest decimal digits that read back as the same float, and
// decimal text read back, with std::to_chars and std::from_chars.  Older
// libc++ (Emscripten's) has neither for floating point: there the digits
// are the correctly rounded ones of increasing precision, which read back the
// same, written in the form std::to_chars would choose, and the text is read
// with strtod.
#pragma once

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace torvik {

inline std::string ShortestDecimal(float value) {
  char text[32];
#if defined(__cpp_lib_to_chars)
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
#else
  // The fewest significant digits, written as std::to_chars writes them:
  // fixed or scientific ("3e+01"), whichever is shorter, fixed on a tie.
  int digits = 1;
  for (;; ++digits) {
    std::snprintf(text, sizeof text, "%.*e", digits - 1, static_cast<double>(value));
    if (digits == 9 || std::strtof(text, nullptr) == value) break;
  }
  const std::string scientific = text;
  const int exponent = std::atoi(std::strchr(text, 'e') + 1);
  const int decimals = digits - 1 - exponent > 0 ? digits - 1 - exponent : 0;
  // A fixed form past the buffer is longer than the scientific one anyway.
  const int length = std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
  if (length < 0 || static_cast<std::size_t>(length) > scientific.size()) return scientific;
  return text;
#endif
}

// The double nearest the decimal `text` (as ShortestDecimal writes it).
inline double DecimalValue(const std::string& text) {
  double value = 0;
#if defined(__cpp_lib_to_chars)
  std::from_chars(text.data(), text.data() + text.size(), value);
#else
  value = std::strtod(text.c_str(), nullptr);
#endif
  return value;
}

}  // namespace torvik
