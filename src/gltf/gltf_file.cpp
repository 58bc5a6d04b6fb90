// WriteGltf and WriteSceneGltf: the document packed into a .glb, or a .gltf
// and its .bin.
#include <cstdio>
#include <filesystem>
#include <span>
#include <stdexcept>

#include "outgl/output_file.h"
#include "torvik32c/bmf.h"
#include "torvik32c/gltf_document.h"

namespace torvik {

namespace {

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

void WriteBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  WriteFileReplacing(path, bytes);
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::vector<std::string> WriteDocument(GltfDocument document, const std::string& path) {
  const std::vector<std::string> files = GltfFiles(path);
  if (files.size() == 1) {
    // The binary buffer goes to the file as it is, after the rest.
    const std::vector<std::uint8_t> head = GlbHead(document);
    const std::uint8_t padding[3] = {};
    OutputFile file(path);
    file.Write(head.data(), head.size());
    file.Write(document.binary.data(), document.binary.size());
    file.Write(padding, (4 - document.binary.size() % 4) % 4);
    file.Commit();
    return std::move(document.warnings);
  }
  std::string bin_path;
  if (!document.binary.empty()) {
    bin_path = files[1];
    document.json["buffers"][0]["uri"] = UriOf(std::filesystem::path(bin_path).filename().string());
    WriteBytes(bin_path, document.binary);
  }
  try {
    WriteText(path, GltfJsonText(document.json, 2) + "\n");
  } catch (...) {
    if (!bin_path.empty()) std::remove(bin_path.c_str());
    throw;
  }
  return std::move(document.warnings);
}

}  // namespace

bool GltfAvailable() { return true; }

std::vector<std::string> WriteGltf(const BmfFile& file, const std::string& path,
                                   const GltfOptions& options) {
  return WriteDocument(BuildGltf(file, options), path);
}

std::vector<std::string> WriteSceneGltf(const H3dsScene& scene, const ScenePlacement& placement,
                                        const std::string& path, const GltfOptions& options) {
  return WriteDocument(BuildSceneGltf(scene, placement, options), path);
}

}  // namespace torvik
