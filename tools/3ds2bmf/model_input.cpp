#include "model_input.h"

#include <fstream>
#include <stdexcept>

#include "input_bytes.h"
#include "torvik32c/gltf_import.h"
#include "torvik32c/model_conversion.h"
#include "torvik32c/obj_import.h"

namespace {

// Enough of a file to tell its format.
constexpr std::size_t kHead = 64 * 1024;

torvik::ImportOptions ImportOptionsFor(const std::string& input, const std::string& model_name,
                                       const FileSettings& settings) {
  return {.file_normals = settings.file_normals,
          .max_placed_faces = settings.max_placed_faces,
          .files = torvik::FilesBeside(input),
          .model_name = input == kStandardInput ? model_name : input,
          .cancel = settings.cancel,
          .threads = settings.threads};
}

}  // namespace

torvik::ModelFormat InputFormat(const std::string& input) {
  std::ifstream file(input, std::ios::binary);
  std::vector<torvik::byte> head(kHead);
  file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
  return torvik::DetectModelFormat(head, input);
}

std::string RefusedOptions(torvik::ModelFormat format, const FileSettings& settings) {
  torvik::ConversionSettings conversion;
  conversion.keyframer = settings.keyframer;
  conversion.smoothing_groups = settings.smoothing_groups;
  conversion.keep_file_winding = settings.keep_file_winding;
  conversion.file_normals = settings.file_normals;
  return torvik::RefusedSettings(format, conversion, settings.name_encoding_given);
}

InputModel ReadInputModel(const std::string& input, const std::string& model_name,
                          const FileSettings& settings, bool keep_bytes) {
  InputModel model;
  const bool regular = IsRegularInput(input);
  if (regular) model.format = InputFormat(input);
  if (regular && model.format == torvik::ModelFormat::three_ds && !keep_bytes) {
    if (const std::string refused = RefusedOptions(model.format, settings); !refused.empty())
      throw std::runtime_error(refused);
    model.scene = ReadSceneInput(input, settings);
    return model;
  }
  model.bytes = ReadInputBytes(input, settings.cancel, torvik::ModelStreamContent());
  if (!regular) model.format = torvik::DetectModelFormat(model.bytes, model_name);
  if (const std::string refused = RefusedOptions(model.format, settings); !refused.empty())
    throw std::runtime_error(refused);
  switch (model.format) {
    case torvik::ModelFormat::three_ds:
      model.scene = torvik::HRead3dsScene(model.bytes, SceneReadOptions(settings));
      break;
    case torvik::ModelFormat::gltf_binary:
    case torvik::ModelFormat::gltf_text:
      model.imported =
          torvik::ReadGltfScene(model.bytes, ImportOptionsFor(input, model_name, settings));
      break;
    case torvik::ModelFormat::obj:
      model.imported =
          torvik::ReadObjScene(model.bytes, ImportOptionsFor(input, model_name, settings));
      break;
  }
  if (!keep_bytes) model.bytes = {};
  return model;
}
