#include "scene_gltf.h"

#include <utility>

#include "imported_in_folder.h"
#include "torvik32c/file_bytes.h"
#include "torvik32c/model_conversion.h"
#include "torvik32c/reports.h"

namespace {

// As 3ds2bmf --gltf: the conversion first, its images written beside the
// BMF, then the glTF of the scene with the files the conversion found; the
// warnings of both, as 3ds2bmf --gltf prints them.
torvik::GltfConversion ImportedSceneGltf(std::span<const torvik::byte> bytes,
                                         const std::string& path,
                                         const torvik::ConversionSettings& settings) {
  const torvik::ConversionReport report = ConvertImportedBeside(bytes, path, settings);
  const std::vector<std::filesystem::path> images = WriteImagesBeside(report, path);
  try {
    torvik::GltfConversion gltf = torvik::ConvertSceneToGltf(bytes, path, settings, {}, &report);
    RemoveFiles(images);
    gltf.warnings.insert(gltf.warnings.begin(), report.warnings.begin(), report.warnings.end());
    return gltf;
  } catch (...) {
    RemoveFiles(images);
    throw;
  }
}

}  // namespace

WebGltf SceneGltfOfFile(const std::string& path, const torvik::NameDecoder& names,
                        bool orient_outward, const WebInputs& inputs) {
  WebGltf result;
  try {
    // Without threads in the module, every stage runs on the calling thread.
    torvik::ConversionSettings settings;
    settings.orient_outward = orient_outward;
    settings.names = names;
    settings.threads = 1;
    std::vector<torvik::byte> bytes = torvik::ReadFileBytes(path);
    const torvik::ModelFormat format =
        CheckedFormat(bytes, path, settings, inputs.name_encoding_given);
    GiveFiles(format, inputs, settings);
    torvik::GltfConversion gltf = format == torvik::ModelFormat::three_ds
                                      ? torvik::ConvertSceneToGltf(std::move(bytes), path, settings)
                                      : ImportedSceneGltf(bytes, path, settings);
    result.glb = std::move(gltf.glb);
    result.warnings = std::move(gltf.warnings);
    result.ok = true;
  } catch (...) {
    result.error = torvik::FailureReason();
  }
  return result;
}
