// Short fixed-width type names shared by the 3DS reader, the model and the BMF writer.
#pragma once

#include <cstdint>

namespace torvik {

using byte = std::uint8_t;
using word = std::int16_t;
using uword = std::uint16_t;
using dword = std::uint32_t;
using float32 = float;

static_assert(sizeof(float32) == 4, "float must be IEEE binary32");

}  // namespace torvik
