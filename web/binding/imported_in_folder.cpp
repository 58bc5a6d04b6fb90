#include "imported_in_folder.h"

#include <stdexcept>
#include <system_error>
#include <utility>

#include "torvik32c/file_bytes.h"
#include "torvik32c/texture_copy.h"

namespace fs = std::filesystem;

torvik::ModelFormat CheckedFormat(std::span<const torvik::byte> bytes, const std::string& path,
                                  const torvik::ConversionSettings& settings,
                                  bool name_encoding_given) {
  const torvik::ModelFormat format = torvik::DetectModelFormat(bytes, path);
  if (std::string refused = torvik::RefusedSettings(format, settings, name_encoding_given);
      !refused.empty())
    throw std::runtime_error(refused);
  return format;
}

fs::path BmfBeside(const fs::path& model_file) {
  fs::path bmf = model_file;
  bmf.replace_extension(".bmf");
  if (bmf == model_file) bmf += ".bmf";
  return bmf;
}

torvik::ConversionReport ConvertImportedBeside(std::span<const torvik::byte> bytes,
                                               const fs::path& model_file,
                                               torvik::ConversionSettings settings,
                                               const torvik::StageCallback& stage) {
  settings.destination = BmfBeside(model_file);
  torvik::ConversionReport report = torvik::ConvertModel(bytes, model_file, settings, stage);
  report.bmf = torvik::ReadFileBytes(settings.destination.string());
  std::error_code ignored;
  fs::remove(settings.destination, ignored);
  return report;
}

std::vector<fs::path> WriteImagesBeside(const torvik::ConversionReport& report,
                                        const fs::path& model_file) {
  std::vector<fs::path> written;
  for (fs::path& file :
       torvik::WriteEmbeddedImages(report.images, BmfBeside(model_file), model_file.string()).paths)
    if (!file.empty()) written.push_back(std::move(file));
  return written;
}

void RemoveFiles(const std::vector<fs::path>& files) {
  std::error_code ignored;
  for (const fs::path& file : files) fs::remove(file, ignored);
}
