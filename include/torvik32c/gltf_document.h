// The glTF document of a BMF model or a 3DS scene and its binary buffer,
// before they are packed into files or bytes (gltf_export.h says what they
// hold).  Everything here works in memory: GlbBytes(BuildSceneGltf(...)) is
// the .glb of a scene read from bytes, with textures from
// GltfOptions::read_texture.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "torvik32c/gltf_export.h"

namespace torvik {

struct GltfDocument {
  nlohmann::ordered_json json;       // its one buffer, if any, without a uri
  std::vector<std::uint8_t> binary;  // that buffer, a multiple of 4 bytes long
  std::vector<std::string> warnings;
};

GltfDocument BuildGltf(const BmfFile& file, const GltfOptions& options = {});

// The scene as `placement` places it (see gltf_export.h); the placement's
// warnings are not repeated.  The scene is read with SceneGltfReadOptions().
// Throws Error when a mesh carries so many smoothing groups that its
// normals would run away.
GltfDocument BuildSceneGltf(const H3dsScene& scene, const ScenePlacement& placement,
                            const GltfOptions& options = {});
// The same with the placement that PlaceScene gives, whose warnings
// come first among the document's.
GltfDocument BuildSceneGltf(const H3dsScene& scene, const GltfOptions& options = {});

// The JSON as text, with invalid UTF-8 in names replaced.
std::string GltfJsonText(const nlohmann::ordered_json& json, int indent = -1);

// The document packed as one binary glTF (GLB) stream.  Throws
// std::runtime_error when it would exceed the 4 GiB that GLB can hold.
std::vector<std::uint8_t> GlbBytes(const GltfDocument& document);
// The same stream but for the binary chunk's data and padding: what goes
// before document.binary, so that a writer need not copy the buffer.
std::vector<std::uint8_t> GlbHead(const GltfDocument& document);

}  // namespace torvik
