// The outside of a glTF: a binary glTF's header and chunks, and the checks
// made on its JSON before tinygltf reads it (how deep it nests, and the
// images in buffer views, which tinygltf reads without checking them).
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <span>

#include "torvik32c/model_import.h"

namespace torvik::gltfload {

inline constexpr const char* kGltf = "glTF";

// The deepest the JSON may nest; tinygltf reads extras recursively.
inline constexpr int kMaxJsonDepth = 64;

// The chunks of a binary glTF: its header and chunks checked.
struct BinaryGltf {
  std::span<const byte> json;
  std::optional<std::span<const byte>> bin;  // the BIN chunk, when there is one
};

// Takes a binary glTF apart.  Throws ImportError ("byte N: ...").
BinaryGltf BinaryGltfChunks(std::span<const byte> bytes);

// Checks the JSON as far as tinygltf would read past its faults: that it
// parses, nests no deeper than kMaxJsonDepth, is an object with an "asset",
// and that every image in a buffer view lies within its buffer as declared.
// Returns the JSON parsed.  Throws ImportError with a JSON pointer.
nlohmann::json PrecheckJson(std::span<const byte> json);

}  // namespace torvik::gltfload
