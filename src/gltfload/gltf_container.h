// The outside of a glTF: a binary glTF's header and chunks, and the checks
// made on its JSON before tinygltf reads it (how deep it nests, and the
// images in buffer views, which tinygltf reads without checking them).
#pragma once

#include <span>

#include "torvik32c/model_import.h"

namespace torvik::gltfload {

inline constexpr const char* kGltf = "glTF";

// The deepest the JSON may nest; tinygltf reads extras recursively.
inline constexpr int kMaxJsonDepth = 64;

// The JSON of a binary glTF: its header and first chunk checked.  Throws
// ImportError ("byte N: ...").
std::span<const byte> BinaryGltfJson(std::span<const byte> bytes);

// Checks the JSON as far as tinygltf would read past its faults: that it
// parses, nests no deeper than kMaxJsonDepth, is an object with an "asset",
// and that every image in a buffer view lies within its buffer as declared.
// Throws ImportError with a JSON pointer.
void PrecheckJson(std::span<const byte> json);

}  // namespace torvik::gltfload
