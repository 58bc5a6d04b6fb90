#include "torvik32c/model_conversion.h"

#include <utility>

#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"
#include "torvik32c/reports.h"

namespace torvik {

namespace {

std::string Prefix(const std::filesystem::path& model_file) {
  return model_file.empty() ? std::string() : ShownPath(model_file) + ": ";
}

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

// Resolves the model's texture names, warns of each one missing or
// ambiguous, and throws MissingTextures when the settings require them all.
void ResolveModelTextures(const Model& model, const std::filesystem::path& model_file,
                          const ConversionSettings& settings, ConversionReport& report) {
  std::vector<std::string> stored;
  for (const POLYGONLIST& material : model.PolyList()) stored.push_back(material.texturename);
  report.textures = ResolveTextures(DistinctTextureNames(stored), model_file, SearchOf(settings));
  std::size_t problems = 0;
  for (const TextureResolution& texture : report.textures) {
    std::string problem = TextureProblem(texture, !settings.require_textures, settings.names);
    if (problem.empty()) continue;
    ++problems;
    report.warnings.push_back(Prefix(model_file) + problem);
  }
  if (settings.require_textures && problems != 0)
    throw MissingTextures(std::to_string(problems) + " of " +
                              std::to_string(report.textures.size()) +
                              " textures missing or ambiguous (--require-textures)",
                          report.textures);
}

// Resolves the files of the materials' maps and warns of those of other
// kinds than texture 1 that are missing or ambiguous (texture 1's were).
void ResolveModelMaps(const std::vector<H3dsMat>& materials,
                      const std::filesystem::path& model_file, const ConversionSettings& settings,
                      ConversionReport& report) {
  report.maps = ResolveMaterialMaps(materials, model_file, SearchOf(settings));
  for (const std::string& problem : MapFileProblems(report.maps, settings.names))
    report.warnings.push_back(Prefix(model_file) + problem);
}

}  // namespace

ConversionReport ConvertModel(std::span<const byte> bytes, const std::filesystem::path& model_file,
                              const ConversionSettings& settings, const StageCallback& stage) {
  const auto starting = [&](const char* name) {
    StopIfCancelled(settings.cancel);
    if (stage) stage(name);
  };
  ConversionReport report;
  starting("reading");
  H3dsScene scene = HRead3dsScene(bytes, {.smoothing_groups = settings.smoothing_groups,
                                          .keep_file_winding = settings.keep_file_winding,
                                          .keyframer = true,
                                          .threads = settings.threads,
                                          .names = settings.names});
  starting("converting");
  for (const std::string& note : ApplyKeyframer(scene, settings.keyframer, report.keyframer,
                                                settings.names, settings.max_placed_faces))
    report.warnings.push_back(Prefix(model_file) + note);
  ConversionStats conversion;
  // The materials as stored, for their maps.
  std::vector<H3dsMat> materials;
  if (settings.resolve_textures && settings.resolve_maps) materials = scene.material;
  const Model model = convert_to_outgl(std::move(scene), &conversion,
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
    ResolveModelTextures(model, model_file, settings, report);
    if (settings.resolve_maps) ResolveModelMaps(materials, model_file, settings, report);
  }
  starting("writing");
  BmfStats written;
  BmfWriteOptions write_options;
  write_options.threads = settings.threads;
  if (settings.destination.empty())
    report.bmf = OutGLBMFBytes(model, &written, write_options);
  else
    OutGLBMF(model, settings.destination.string(), &written, settings.cancel, write_options);
  report.blocks = written.blocks;
  report.vertices = written.vertices;
  report.triangles = written.triangles;
  return report;
}

}  // namespace torvik
