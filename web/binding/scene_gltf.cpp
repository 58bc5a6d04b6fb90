#include "scene_gltf.h"

#include <utility>

#include "torvik32c/file_bytes.h"
#include "torvik32c/model_conversion.h"
#include "torvik32c/reports.h"

WebGltf SceneGltfOfFile(const std::string& path, const torvik::NameDecoder& names,
                        bool orient_outward) {
  WebGltf result;
  try {
    // Without threads in the module, every stage runs on the calling thread.
    torvik::ConversionSettings settings;
    settings.orient_outward = orient_outward;
    settings.names = names;
    settings.threads = 1;
    torvik::GltfConversion gltf =
        torvik::ConvertSceneToGltf(torvik::ReadFileBytes(path), path, settings);
    result.glb = std::move(gltf.glb);
    result.warnings = std::move(gltf.warnings);
    result.ok = true;
  } catch (...) {
    result.error = torvik::FailureReason();
  }
  return result;
}
