#include "web_conversion.h"

#include <chrono>
#include <utility>

#include "imported_in_folder.h"
#include "torvik32c/file_bytes.h"
#include "torvik32c/reports.h"

void GiveFiles(torvik::ModelFormat format, const WebInputs& inputs,
               torvik::ConversionSettings& settings) {
  if (format != torvik::ModelFormat::three_ds && inputs.files) settings.files = inputs.files();
}

WebConversion ConvertModelFile(const std::string& path, torvik::ConversionSettings settings,
                               const WebInputs& inputs, const torvik::StageCallback& stage) {
  WebConversion result;
  const auto start = std::chrono::steady_clock::now();
  try {
    // Without threads in the module, every stage runs on the calling thread.
    settings.threads = 1;
    std::vector<torvik::byte> bytes = torvik::ReadFileBytes(path);
    const torvik::ModelFormat format =
        CheckedFormat(bytes, path, settings, inputs.name_encoding_given);
    GiveFiles(format, inputs, settings);
    result.report = format == torvik::ModelFormat::three_ds
                        ? torvik::ConvertModel(std::move(bytes), path, settings, stage)
                        : ConvertImportedBeside(bytes, path, settings, stage);
    result.ok = true;
  } catch (...) {
    result.error = torvik::FailureReason("the maxPlacedFaces option");
    result.report = {};
  }
  result.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return result;
}
