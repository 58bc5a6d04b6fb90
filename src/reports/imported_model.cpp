#include "imported_model.h"

#include "torvik32c/gltf_import.h"
#include "torvik32c/obj_import.h"

namespace torvik {

std::string RefusedSettings(ModelFormat format, const ConversionSettings& settings,
                            bool name_encoding) {
  if (format == ModelFormat::three_ds)
    return settings.file_normals ? "--file-normals keeps the normals a glTF or OBJ file stores; "
                                   "a 3DS file stores none"
                                 : "";
  std::string options;
  const auto refuse = [&](bool given, const char* option) {
    if (given) options += (options.empty() ? "" : ", ") + std::string(option);
  };
  refuse(settings.keyframer, "--keyframer");
  refuse(settings.smoothing_groups, "--smoothing-groups");
  refuse(settings.keep_file_winding, "--keep-file-winding");
  refuse(name_encoding, "--name-encoding");
  if (options.empty()) return "";
  options += options.find(',') == std::string::npos ? " reads" : " read";
  const std::string name = ModelFormatName(format);
  // "an OBJ file", "a glTF file".
  const char* article = name.starts_with('O') ? "an " : "a ";
  return options + " what only a 3DS file holds; this is " + article + name + " file";
}

void CheckSettingsFor(ModelFormat format, const ConversionSettings& settings) {
  if (std::string refused = RefusedSettings(format, settings); !refused.empty())
    throw RefusedSettingsError(refused);
}

ImportedScene ReadImportedModel(std::span<const byte> bytes, ModelFormat format,
                                const std::filesystem::path& model_file,
                                const ConversionSettings& settings, bool stream_meshes) {
  // Images stored inside without a name of their own are named after the
  // model, or after the BMF for standard input ("-").
  const bool unnamed = model_file.empty() || model_file == "-";
  const ImportOptions options{
      .file_normals = settings.file_normals,
      .max_placed_faces = settings.max_placed_faces,
      .files = settings.files ? *settings.files : FilesBeside(model_file.string()),
      .model_name = unnamed ? settings.destination.string() : model_file.string(),
      .cancel = settings.cancel,
      .threads = settings.threads,
      .stream_meshes = stream_meshes};
  return format == ModelFormat::obj ? ReadObjScene(bytes, options) : ReadGltfScene(bytes, options);
}

}  // namespace torvik
