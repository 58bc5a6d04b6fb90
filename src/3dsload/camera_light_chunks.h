// The cameras (0x4700) and lights (0x4600) that object blocks hold instead
// of meshes.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "torvik32c/3dsload.h"

namespace torvik {

inline constexpr uword kCameraChunk = 0x4700;
inline constexpr uword kLightChunk = 0x4600;

// Reads the camera or light chunk (`chunk_id`) that starts at byte `start`
// of `file` (its header included) into the scene's cameras or lights, named `name` (the
// object block's).  Never throws but std::bad_alloc: a chunk cut short, or
// one that runs past its parent, is left out with a warning in
// camera_light_warnings, which quotes the name as `names` decodes it.
void ReadCameraOrLight(std::span<const byte> file, uword chunk_id, std::size_t start,
                       const std::string& name, H3dsScene& scene, const NameDecoder& names);

}  // namespace torvik
