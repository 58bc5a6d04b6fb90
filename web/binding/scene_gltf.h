// The scene as authored, as binary glTF: the page's 3D view and its .glb
// download (what 3ds2bmf --gltf writes beside the BMF).
#pragma once

#include <string>
#include <vector>

#include "torvik32c/name_text.h"
#include "torvik32c/types.h"
#include "web_conversion.h"

struct WebGltf {
  bool ok = false;
  std::string error;
  std::vector<torvik::byte> glb;
  std::vector<std::string> warnings;  // what 3ds2bmf --gltf warns of
};

// The glTF 3ds2bmf --gltf writes for the model at `path`: of a 3DS file,
// the scene as authored with the file of every map found beside it
// (torvik::ConvertSceneToGltf), its names decoded as `names` says; of a glTF
// or OBJ file, the plain copy of its scene, its images (those stored inside
// it too) embedded, with the conversion's warnings and the glTF's.  `orient_outward` reverses the
// meshes whose faces clearly face inward (3ds2bmf --gltf --orient-outward).  Never throws.
WebGltf SceneGltfOfFile(const std::string& path, const torvik::NameDecoder& names,
                        bool orient_outward = false, const WebInputs& inputs = {});
