#include "torvik32c/model_conversion.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "3dsload/scene_mesh_stream.h"
#include "imported_model.h"
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

// The model read and converted, with its materials as stored.
struct ConvertedModel {
  Model model;
  std::vector<H3dsMat> materials;
  // Whether the scene glTF may take meshes from the model once it is
  // written, and each mesh's vertices as read.
  bool share_meshes = false;
  std::vector<std::size_t> vertex_counts;
};

ConvertOptions ConvertOptionsOf(const ConversionSettings& settings) {
  return {.smoothing_groups = settings.smoothing_groups,
          .cancel = settings.cancel,
          .orient_outward = settings.orient_outward,
          .threads = settings.threads,
          .names = settings.names};
}

// Reads and converts a 3DS file, its keyframer measured or applied.
ConvertedModel ConvertThreeDs(std::span<const byte> bytes, std::vector<byte>* owner,
                              const std::filesystem::path& model_file,
                              const ConversionSettings& settings,
                              const std::function<void(const char*)>& starting,
                              ConversionReport& report, ConversionStats& conversion) {
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
  ConvertedModel converted;
  // Meshes the glTF may take: not placed, smoothed or turned by the
  // conversion, nor with faces the reader turned (the glTF keeps the file's
  // winding); none, and the model goes as soon as it is written.
  converted.share_meshes = settings.share_meshes_with_gltf && !settings.keyframer &&
                           !settings.smoothing_groups && !settings.orient_outward;
  if (converted.share_meshes) {
    bool any = false;
    for (const H3dsMeshObj& mesh : scene.meshobjlist) {
      converted.vertex_counts.push_back(mesh.vertlist.size());
      any = any || settings.keep_file_winding ||
            std::none_of(mesh.facelist.begin(), mesh.facelist.end(),
                         [](const H3dsFace& face) { return face.flags == kSwappedFaceFlags; });
    }
    converted.share_meshes = any;
  }
  converted.materials = scene.material;
  converted.model = convert_to_outgl(std::move(scene), &conversion, ConvertOptionsOf(settings));
  return converted;
}

// Reads and converts a glTF or OBJ file.  Its stored images are planned
// beside the destination, where the textures' lookup then finds them.
ConvertedModel ConvertImported(std::span<const byte> bytes, std::vector<byte>* owner,
                               ModelFormat format, const std::filesystem::path& model_file,
                               ConversionSettings& settings,
                               const std::function<void(const char*)>& starting,
                               ConversionReport& report, ConversionStats& conversion) {
  // The meshes are drawn from the bytes as the conversion takes them.
  ImportedScene imported = ReadImportedModel(bytes, format, model_file, settings, true);
  const bool streamed = imported.meshes != nullptr;
  if (owner != nullptr) {
    if (streamed)
      imported.meshes->after_last = [owner] { std::vector<byte>().swap(*owner); };
    else
      std::vector<byte>().swap(*owner);
  }
  starting("converting");
  if (format != ModelFormat::obj) report.instances = imported.instances;
  for (const std::string& warning : imported.warnings)
    report.warnings.push_back(ModelPrefix(model_file) + "warning: " + warning);
  if (!settings.destination.empty()) {
    std::filesystem::path folder = settings.destination.parent_path();
    if (folder.empty()) folder = ".";
    std::vector<TextureChoice> choices;
    for (const EmbeddedImage& image : imported.images)
      choices.push_back({image.texture_name, folder / image.file_name});
    settings.texture_choices.insert(settings.texture_choices.begin(), choices.begin(),
                                    choices.end());
  }
  report.images = std::move(imported.images);
  ConvertedModel converted;
  converted.materials = imported.scene.material;
  converted.model =
      ConvertImportedScene(std::move(imported), &conversion, ConvertOptionsOf(settings));
  return converted;
}

// Converts `bytes`, releasing `owner` (which holds them, when given) once
// the scene is read.
ConversionReport Convert(std::span<const byte> bytes, std::vector<byte>* owner,
                         const std::filesystem::path& model_file, const ConversionSettings& given,
                         const StageCallback& stage, const WrittenCallback& written) {
  CheckDestination(model_file, given.destination);
  ConversionSettings settings = given;
  const auto starting = [&](const char* name) {
    StopIfCancelled(settings.cancel);
    if (stage) stage(name);
  };
  ConversionReport report;
  report.format = DetectModelFormat(bytes, model_file.filename().string());
  CheckSettingsFor(report.format, settings);
  starting("reading");
  ConversionStats conversion;
  ConvertedModel converted =
      report.format == ModelFormat::three_ds
          ? ConvertThreeDs(bytes, owner, model_file, settings, starting, report, conversion)
          : ConvertImported(bytes, owner, report.format, model_file, settings, starting, report,
                            conversion);
  Model& model = converted.model;
  report.reversed = conversion.meshes_reversed;
  report.degenerate = conversion.degenerate_dropped;
  report.default_material = conversion.default_material_added;
  if (settings.resolve_textures) {
    starting("textures");
    ModelFiles files = FindModelFiles(converted.materials, model_file, settings);
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
  if (written) written(model, converted.materials);
  if (converted.share_meshes)
    report.meshes = std::make_shared<ConvertedMeshes>(
        ShareConvertedMeshes(std::move(model), converted.vertex_counts,
                             conversion.default_material_added, settings.keep_file_winding));
  report.blocks = stats.blocks;
  report.vertices = stats.vertices;
  report.triangles = stats.triangles;
  return report;
}

}  // namespace

}  // namespace torvik
