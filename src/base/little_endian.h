// Loads little-endian values from unaligned bytes.
#pragma once

#include <cstdint>
#include <cstring>

#include "torvik32c/types.h"

namespace torvik {

inline std::uint16_t load_u16(const byte* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t load_u32(const byte* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline float load_f32(const byte* p) {
  std::uint32_t bits = load_u32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace torvik
