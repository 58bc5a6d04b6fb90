#include "web_conversion.h"

#include <chrono>
#include <utility>

#include "torvik32c/file_bytes.h"
#include "torvik32c/reports.h"

WebConversion ConvertModelFile(const std::string& path, torvik::ConversionSettings settings,
                               const torvik::StageCallback& stage) {
  WebConversion result;
  const auto start = std::chrono::steady_clock::now();
  try {
    // Without threads in the module, every stage runs on the calling thread.
    settings.threads = 1;
    result.report = torvik::ConvertModel(torvik::ReadFileBytes(path), path, settings, stage);
    result.ok = true;
  } catch (...) {
    result.error = torvik::FailureReason("the maxPlacedFaces option");
    result.report = {};
  }
  result.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return result;
}
