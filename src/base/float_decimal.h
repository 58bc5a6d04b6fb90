// Floats as the fewest decimal digits that read back as the same float, and
// decimal text read back, with std::to_chars and std::from_chars.  Older
// libc++ (Emscripten's) has neither for floating point: there the digits
// are the correctly rounded ones of increasing precision, which read back the
// same, and the text is read with strtod.
#pragma once

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace torvik {

inline std::string ShortestDecimal(float value) {
  char text[32];
#if defined(__cpp_lib_to_chars)
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
#else
  for (int digits = 1;; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (digits == 9 || std::strtof(text, nullptr) == value) return text;
  }
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
