#include "imported_in_folder.h"

#include <fstream>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "torvik32c/file_bytes.h"

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
  const fs::path folder = BmfBeside(model_file).parent_path();
  for (const torvik::EmbeddedImage& image : report.images) {
    const fs::path file = folder / image.file_name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.bytes.data()),
              static_cast<std::streamsize>(image.bytes.size()));
    if (out) written.push_back(file);
  }
  return written;
}

void RemoveFiles(const std::vector<fs::path>& files) {
  std::error_code ignored;
  for (const fs::path& file : files) fs::remove(file, ignored);
}
