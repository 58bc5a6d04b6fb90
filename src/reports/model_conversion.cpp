#include "torvik32c/model_conversion.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "model_prefix.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"
#include "torvik32c/file_identity.h"
#include "torvik32c/reports.h"

namespace torvik {

namespace {

// How the settings search for a model's textures.
TextureSearchOptions SearchOf(const ConversionSettings& settings) {
  TextureSearchOptions search;
  search.extra_folders = settings.texture_paths;
  search.choices = settings.texture_choices;
  search.outputs = settings.outputs;
  if (!settings.destination.empty()) search.outputs.push_back(settings.destination);
  search.cancel = settings.cancel;
  return search;
}

ConversionReport Convert(std::span<const byte> bytes, std::vector<byte>* owner,
                         const std::filesystem::path& model_file,
                         const ConversionSettings& settings, const StageCallback& stage,
                         const WrittenCallback& written);

}  // namespace

void CheckDestination(const std::filesystem::path& model_file,
                      const std::filesystem::path& destination) {
  if (model_file.empty() || destination.empty() ||
      !IsSameFile(model_file.string(), destination.string()))
    return;
  throw DestinationIsModel("the destination " + ShownPath(destination) + " is the model file " +
                           ShownPath(model_file) + " itself: the BMF would replace it");
}

ModelFiles FindModelFiles(const std::vector<H3dsMat>& materials,
                          const std::filesystem::path& model_file,
                          const ConversionSettings& settings) {
  ModelFiles files;
  std::vector<std::string> names;
  for (const H3dsMat& material : materials) names.push_back(material.texture.texturename);
  ModelTextureSearch search(model_file, SearchOf(settings));
  files.textures = ResolveTextures(DistinctTextureNames(names), search);
  files.maps = ResolveMaterialMaps(materials, search);
  for (const TextureResolution& texture : files.textures) {
    std::string problem = TextureProblem(texture, !settings.require_textures, settings.names);
    if (problem.empty()) continue;
    ++files.texture_problems;
    files.warnings.push_back(ModelPrefix(model_file) + problem);
  }
  for (const std::string& problem : MapFileProblems(files.maps, settings.names))
    files.warnings.push_back(ModelPrefix(model_file) + problem);
  return files;
}

ConversionReport ConvertModel(std::span<const byte> bytes, const std::filesystem::path& model_file,
                              const ConversionSettings& settings, const StageCallback& stage,
                              const WrittenCallback& written) {
  return Convert(bytes, nullptr, model_file, settings, stage, written);
}

ConversionReport ConvertModel(std::vector<byte>&& bytes, const std::filesystem::path& model_file,
                              const ConversionSettings& settings, const StageCallback& stage,
                              const WrittenCallback& written) {
  return Convert(bytes, &bytes, model_file, settings, stage, written);
}

namespace {

// Converts `bytes`, releasing `owner` (which holds them, when given) once
// the scene is read.
ConversionReport Convert(std::span<const byte> bytes, std::vector<byte>* owner,
                         const std::filesystem::path& model_file,
                         const ConversionSettings& settings, const StageCallback& stage,
                         const WrittenCallback& written) {
  CheckDestination(model_file, settings.destination);
  const auto starting = [&](const char* name) {
    StopIfCancelled(settings.cancel);
    if (stage) stage(name);
  };
  ConversionReport report;
  starting("reading");
  const bool read_keyframer =
      settings.keyframer || settings.measure_keyframer || settings.report_scene;
  H3dsScene scene = HRead3dsScene(bytes, {.smoothing_groups = settings.smoothing_groups,
                                          .keep_file_winding = settings.keep_file_winding,
                                          .keyframer = read_keyframer,
                                          .animation = settings.report_scene,
                                          .cameras_and_lights = settings.report_scene,
                                          .threads = settings.threads,
                                          .names = settings.names});
  if (owner != nullptr) std::vector<byte>().swap(*owner);
  starting("converting");
  if (settings.report_scene)
    report.contents = MeasureSceneContents(scene, PlaceScene(scene, settings.names));
  if (read_keyframer)
    for (const std::string& note : ApplyKeyframer(scene, settings.keyframer, report.keyframer,
                                                  settings.names, settings.max_placed_faces))
      report.warnings.push_back(ModelPrefix(model_file) + note);
  ConversionStats conversion;
  // Meshes the glTF may take: not placed, smoothed or turned by the
  // conversion, nor with faces the reader turned (the glTF keeps the file's
  // winding); none, and the model goes as soon as it is written.
  bool share_meshes = settings.share_meshes_with_gltf && !settings.keyframer &&
                      !settings.smoothing_groups && !settings.orient_outward;
  std::vector<std::size_t> vertex_counts;
  if (share_meshes) {
    bool any = false;
    for (const H3dsMeshObj& mesh : scene.meshobjlist) {
      vertex_counts.push_back(mesh.vertlist.size());
      any = any || settings.keep_file_winding ||
            std::none_of(mesh.facelist.begin(), mesh.facelist.end(),
                         [](const H3dsFace& face) { return face.flags == kSwappedFaceFlags; });
    }
    share_meshes = any;
  }
  // The materials as stored, for their maps.
  std::vector<H3dsMat> materials = scene.material;
  Model model = convert_to_outgl(std::move(scene), &conversion,
                                 {.smoothing_groups = settings.smoothing_groups,
                                  .cancel = settings.cancel,
                                  .orient_outward = settings.orient_outward,
                                  .threads = settings.threads,
                                  .names = settings.names});
  report.reversed = conversion.meshes_reversed;
  report.degenerate = conversion.degenerate_dropped;
  report.default_material = conversion.default_material_added;
  if (settings.resolve_textures) {
    starting("textures");
    ModelFiles files = FindModelFiles(materials, model_file, settings);
    report.textures = std::move(files.textures);
    report.maps = std::move(files.maps);
    for (std::string& warning : files.warnings) report.warnings.push_back(std::move(warning));
    if (settings.require_textures && files.texture_problems != 0)
      throw MissingTextures(std::to_string(files.texture_problems) + " of " +
                                std::to_string(report.textures.size()) +
                                " textures missing or ambiguous (--require-textures)",
                            report.textures, report.warnings);
  }
  starting("writing");
  BmfStats stats;
  BmfWriteOptions write_options;
  write_options.triangle_order = settings.triangle_order;
  write_options.threads = settings.threads;
  if (settings.destination.empty())
    report.bmf = OutGLBMFBytes(model, &stats, write_options);
  else
    OutGLBMF(model, settings.destination.string(), &stats, settings.cancel, write_options);
  if (written) written(model, materials);
  if (share_meshes)
    report.meshes = std::make_shared<ConvertedMeshes>(
        ShareConvertedMeshes(std::move(model), vertex_counts, conversion.default_material_added,
                             settings.keep_file_winding));
  report.blocks = stats.blocks;
  report.vertices = stats.vertices;
  report.triangles = stats.triangles;
  return report;
}

}  // namespace

}  // namespace torvik
