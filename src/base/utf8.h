// Walking UTF-8 text byte by byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvik {

// How the bytes at `i` begin a UTF-8 sequence: `needed` is the length of
// the sequence the byte at `i` starts (1 for ASCII, 0 when it starts none: a
// continuation byte, 0xC0, 0xC1 or 0xF5 and above), `matched` how many of
// its bytes are there and may belong to it (no overlong form, surrogate or
// code point past U+10FFFF).
struct Utf8Prefix {
  std::size_t needed = 0, matched = 0;
};

inline Utf8Prefix Utf8PrefixAt(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return {1, 1};
  Utf8Prefix prefix;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    prefix.needed = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    prefix.needed = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    prefix.needed = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return prefix;
  }
  prefix.matched = 1;
  while (prefix.matched < prefix.needed && i + prefix.matched < text.size()) {
    const unsigned char next = byte(i + prefix.matched);
    if (prefix.matched == 1 ? next < low || next > high : next < 0x80 || next > 0xBF) break;
    ++prefix.matched;
  }
  return prefix;
}

// The length of the valid UTF-8 sequence that starts at `i` (1 for an
// ASCII byte), or 0 when the bytes at `i` start none: a stray continuation
// byte, an overlong form, a surrogate, a code point past U+10FFFF, or a
// sequence cut short.
inline std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const Utf8Prefix prefix = Utf8PrefixAt(text, i);
  return prefix.needed != 0 && prefix.matched == prefix.needed ? prefix.needed : 0;
}

// UTF-8 as it is; each maximal part of a sequence that is cut short or
// broken, and each byte that starts none, as U+FFFD (as browsers' and
// Python's decoders replace them).
inline std::string ReplaceInvalidUtf8(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size();) {
    const Utf8Prefix prefix = Utf8PrefixAt(bytes, i);
    if (prefix.needed != 0 && prefix.matched == prefix.needed) {
      out.append(bytes, i, prefix.needed);
      i += prefix.needed;
    } else {
      out += "\xEF\xBF\xBD";  // U+FFFD
      i += prefix.matched == 0 ? 1 : prefix.matched;
    }
  }
  return out;
}

}  // namespace torvik
