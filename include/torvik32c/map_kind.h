// The maps a 3DS material may have.  The reader keeps each material's maps
// by kind (3dsload.h), and the texture search lets a map's kind decide among
// several files that its name matches (texture_resolver.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "torvik32c/export.h"

namespace torvik {

// In the order of H3dsMat::maps.
enum class MapKind : std::uint8_t {
  texture,            // texture 1 (chunk 0xA200): the colour map
  texture2,           // texture 2 (0xA33A), laid over the first
  opacity,            // 0xA210
  bump,               // 0xA230: a height map
  specular,           // 0xA204
  shininess,          // 0xA33C
  self_illumination,  // 0xA33D
  reflection,         // 0xA220
};
inline constexpr std::size_t kMapKinds = 8;

// "texture", "texture 2", "opacity", "bump", "specular", "shininess",
// "self-illumination", "reflection".
TORVIK_API const char* MapKindName(MapKind kind);

}  // namespace torvik
