#include "scene_gltf.h"

#include <filesystem>

#include "torvik32c/3dsload.h"
#include "torvik32c/file_bytes.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/reports.h"
#include "torvik32c/texture_finder.h"

WebGltf SceneGltfOfFile(const std::string& path, const torvik::NameDecoder& names,
                        bool orient_outward) {
  WebGltf result;
  try {
    torvik::ReadOptions read = torvik::SceneGltfReadOptions(1);
    read.names = names;
    const torvik::H3dsScene scene = torvik::HRead3dsScene(torvik::ReadFileBytes(path), read);
    torvik::GltfOptions options;
    options.names = names;
    options.find_texture = torvik::TexturesBeside(path);
    options.report_missing = false;  // the conversion's report names them
    options.orient_outward = orient_outward;
    // The animation is named after the model, as 3ds2bmf --gltf names it.
    options.animation_name = std::filesystem::path(path).stem().string();
    const torvik::GltfDocument document = torvik::BuildSceneGltf(scene, options);
    result.glb = torvik::GlbBytes(document);
    for (const std::string& warning : document.warnings)
      result.warnings.push_back(torvik::ShownText(path) + ": warning: " + warning);
    result.ok = true;
  } catch (...) {
    result.error = torvik::FailureReason();
  }
  return result;
}
