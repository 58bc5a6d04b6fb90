// The scene's glTF as every front end makes it (3ds2bmf --gltf, the Python
// module's to_gltf, the web page's toGltf).
#include <utility>

#include "imported_model.h"
#include "model_prefix.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/gltf_export.h"
#include "torvik32c/model_conversion.h"
#include "torvik32c/texture_finder.h"

namespace torvik {

namespace {

GltfOptions ExportOptions(const std::filesystem::path& model_file,
                          const ConversionSettings& settings,
                          std::vector<TextureResolution> files) {
  GltfOptions options;
  options.find_texture = ResolvedTextures(std::move(files));
  options.report_missing = false;  // the files' problems are the conversion's warnings
  options.orient_outward = settings.orient_outward;
  options.frames_per_second = settings.frames_per_second;
  options.animation_name =
      settings.animation_name.empty() ? model_file.stem().string() : settings.animation_name;
  options.names = settings.names;
  options.threads = settings.threads;
  options.cancelled = [cancel = settings.cancel, asked = settings.cancelled] {
    return (cancel != nullptr && cancel->load(std::memory_order_relaxed)) || (asked && asked());
  };
  return options;
}

// The scene of `bytes` as the glTF shows it: a 3DS file's as authored, read
// with the export's own options; a glTF's or OBJ's as read, its reader's
// warnings noted unless the conversion noted them.
H3dsScene ReadScene(std::span<const byte> bytes, const std::filesystem::path& model_file,
                    const ConversionSettings& settings, const ConversionReport* conversion,
                    std::vector<std::string>& warnings) {
  const ModelFormat format = DetectModelFormat(bytes, model_file.filename().string());
  if (format == ModelFormat::three_ds) {
    ReadOptions read = SceneGltfReadOptions(settings.threads);
    read.names = settings.names;
    return HRead3dsScene(bytes, read);
  }
  CheckSettingsFor(format, settings);
  ImportedScene imported = ReadImportedModel(bytes, format, model_file, settings);
  if (conversion == nullptr)
    for (const std::string& warning : imported.warnings)
      warnings.push_back(ModelPrefix(model_file) + "warning: " + warning);
  return std::move(imported.scene);
}

// Makes the glTF of `bytes`, releasing `owner` (which holds them, when
// given) once the scene is read.
GltfConversion Convert(std::span<const byte> bytes, std::vector<byte>* owner,
                       const std::filesystem::path& model_file, const ConversionSettings& settings,
                       const std::filesystem::path& destination,
                       const ConversionReport* conversion) {
  StopIfCancelled(settings.cancel);
  GltfConversion result;
  const std::string prefix = ModelPrefix(model_file);
  const H3dsScene scene = ReadScene(bytes, model_file, settings, conversion, result.warnings);
  if (owner != nullptr) std::vector<byte>().swap(*owner);
  const ScenePlacement placement = PlaceScene(scene, settings.names);
  // A conversion that applied the keyframer noted its warnings already.
  if (conversion == nullptr || !settings.keyframer)
    for (const std::string& warning : placement.warnings)
      result.warnings.push_back(prefix + "warning: " + warning);
  std::vector<TextureResolution> files;
  if (conversion != nullptr) {
    files = conversion->textures;
    for (TextureResolution& file : DistinctMapFiles(conversion->maps))
      files.push_back(std::move(file));
  } else if (settings.resolve_textures && !model_file.empty()) {
    ModelFiles found = FindModelFiles(scene.material, model_file, settings);
    files = found.textures;
    for (TextureResolution& file : DistinctMapFiles(found.maps)) files.push_back(std::move(file));
    result.textures = std::move(found.textures);
    result.maps = std::move(found.maps);
    // The files' problems before the export's, as a conversion gives them.
    result.warnings.insert(result.warnings.begin(), found.warnings.begin(), found.warnings.end());
  }
  StopIfCancelled(settings.cancel);
  GltfOptions options = ExportOptions(model_file, settings, std::move(files));
  if (conversion != nullptr) options.converted = conversion->meshes;
  std::vector<std::string> warnings;
  if (destination.empty()) {
    GltfDocument document = BuildSceneGltf(scene, placement, options);
    result.glb = GlbBytes(document);
    warnings = std::move(document.warnings);
  } else {
    warnings = WriteSceneGltf(scene, placement, destination.string(), options);
  }
  for (const std::string& warning : warnings)
    result.warnings.push_back(prefix + "warning: " + warning);
  return result;
}

}  // namespace

GltfConversion ConvertSceneToGltf(std::span<const byte> bytes,
                                  const std::filesystem::path& model_file,
                                  const ConversionSettings& settings,
                                  const std::filesystem::path& destination,
                                  const ConversionReport* conversion) {
  return Convert(bytes, nullptr, model_file, settings, destination, conversion);
}

GltfConversion ConvertSceneToGltf(std::vector<byte>&& bytes,
                                  const std::filesystem::path& model_file,
                                  const ConversionSettings& settings,
                                  const std::filesystem::path& destination,
                                  const ConversionReport* conversion) {
  return Convert(bytes, &bytes, model_file, settings, destination, conversion);
}

}  // namespace torvik
