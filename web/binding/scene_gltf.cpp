#include "scene_gltf.h"

#include "torvik32c/reports.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/file_bytes.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/texture_finder.h"

WebGltf SceneGltfOfFile(const std::string& path, bool orient_outward) {
  WebGltf result;
  try {
    const torvik::H3dsScene scene =
        torvik::HRead3dsScene(torvik::ReadFileBytes(path), torvik::SceneGltfReadOptions(1));
    torvik::GltfOptions options;
    options.find_texture = torvik::TexturesBeside(path);
    options.report_missing = false;  // the conversion's report names them
    options.orient_outward = orient_outward;
    const torvik::GltfDocument document = torvik::BuildSceneGltf(scene, options);
    result.glb = torvik::GlbBytes(document);
    for (const std::string& warning : document.warnings)
      result.warnings.push_back(path + ": warning: " + warning);
    result.ok = true;
  } catch (...) {
    result.error = torvik::FailureReason();
  }
  return result;
}
