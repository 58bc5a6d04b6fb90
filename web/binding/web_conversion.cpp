#include "web_conversion.h"

#include <chrono>
#include <utility>

#include "torvik32c/reports.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"
#include "torvik32c/file_bytes.h"
#include "torvik32c/keyframer.h"

namespace {

void ResolveModelTextures(const torvik::Model& model, const std::string& path,
                          WebConversion& result) {
  std::vector<std::string> names;
  for (const torvik::POLYGONLIST& material : model.PolyList())
    names.push_back(material.texturename);
  result.textures = torvik::ResolveTextures(torvik::DistinctTextureNames(names), path, {});
  for (const torvik::TextureResolution& texture : result.textures)
    if (std::string problem = torvik::TextureProblem(texture); !problem.empty())
      result.warnings.push_back(path + ": " + problem);
}

}  // namespace

WebConversion ConvertModelFile(const std::string& path, const WebConvertOptions& options,
                               const StageCallback& stage) {
  WebConversion result;
  const auto start = std::chrono::steady_clock::now();
  // Without threads in the module, every stage runs on the calling thread.
  constexpr std::size_t kThreads = 1;
  try {
    stage("reading");
    torvik::H3dsScene scene = torvik::HRead3dsScene(torvik::ReadFileBytes(path),
                                                    {.smoothing_groups = options.smoothing_groups,
                                                     .keep_file_winding = options.keep_file_winding,
                                                     .keyframer = true,
                                                     .threads = kThreads});
    stage("converting");
    for (const std::string& note : torvik::ApplyKeyframer(
             scene, options.keyframer, result.keyframer, options.max_placed_faces))
      result.warnings.push_back(path + ": " + note);
    torvik::ConversionStats conversion;
    const torvik::Model model =
        torvik::convert_to_outgl(std::move(scene), &conversion,
                                 {.smoothing_groups = options.smoothing_groups,
                                  .orient_outward = options.orient_outward,
                                  .threads = kThreads});
    result.reversed = conversion.meshes_reversed;
    stage("textures");
    ResolveModelTextures(model, path, result);
    stage("writing");
    torvik::BmfStats written;
    torvik::BmfWriteOptions write_options;
    write_options.threads = kThreads;
    result.bmf = torvik::OutGLBMFBytes(model, &written, write_options);
    result.blocks = written.blocks;
    result.vertices = written.vertices;
    result.triangles = written.triangles;
    result.degenerate = conversion.degenerate_dropped;
    result.default_material = conversion.default_material_added;
    result.ok = true;
  } catch (...) {
    result.error = torvik::FailureReason("the maxPlacedFaces option");
  }
  if (!result.ok) {
    result.bmf.clear();
    result.textures.clear();
    result.warnings.clear();
  }
  result.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return result;
}
