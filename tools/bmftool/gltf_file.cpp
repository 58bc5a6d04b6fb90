// WriteGltf: the document packed into a .glb, or a .gltf and its .bin.
#include <cstdio>
#include <stdexcept>

#include "gltf_document.h"
#include "output_file.h"
#include "output_paths.h"

namespace {

bool EndsWithGltf(const std::string& path) { return WithExtension(path, ".gltf", "") != path; }

// A file name as a relative URI: everything but the unreserved characters
// percent-encoded.
std::string UriOf(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 15];
    }
  }
  return uri;
}

std::string_view AsText(const std::vector<std::uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

bool GltfAvailable() { return true; }

std::vector<std::string> WriteGltf(const torvik::BmfFile& file, const std::string& path,
                                   const GltfOptions& options) {
  GltfDocument document = BuildGltf(file, options);
  if (!EndsWithGltf(path)) {
    WriteOutputFile(path, AsText(GlbBytes(document)));
    return std::move(document.warnings);
  }
  std::string bin_path;
  if (!document.binary.empty()) {
    bin_path = WithExtension(path, ".gltf", ".bin");
    document.json["buffers"][0]["uri"] = UriOf(FileName(bin_path));
    WriteOutputFile(bin_path, AsText(document.binary));
  }
  try {
    WriteOutputFile(path, GltfJsonText(document.json, 2) + "\n");
  } catch (...) {
    if (!bin_path.empty()) std::remove(bin_path.c_str());
    throw;
  }
  return std::move(document.warnings);
}
