// Converts one 3DS file into one BMF file through the C++ API.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "torvik32c/texture_resolver.h"

struct FileResult {
  std::string input;
  std::string output;
  bool ok = false;
  std::string error;       // the detailed reason when !ok
  std::string error_path;  // the file the error is about
  std::string preview;     // the PNG written with --preview
  std::size_t blocks = 0, vertices = 0, triangles = 0, degenerate = 0;
  bool default_material = false;
  double milliseconds = 0;
  std::vector<torvik::TextureResolution> textures;  // each distinct texture name, resolved
  std::vector<bool> copied;           // per texture, with copy_textures: beside the BMF now
  std::vector<std::string> warnings;  // 'texture "X.JPG" not found', ... (the file still converts)
};

struct FileSettings {
  // Also render the converted model into a PNG beside the BMF; a preview
  // that can't be written fails the file but leaves the BMF in place.
  bool preview = false;
  // Hard edges where the model's smoothing groups say so.
  bool smoothing_groups = false;
  // Folders searched for textures after the model's own.
  std::vector<std::filesystem::path> texture_paths;
  // Copy every found texture beside the BMF under its stored name.
  bool copy_textures = false;
  // A texture not found or ambiguous fails the file.
  bool require_textures = false;
  // Previews draw textures; false draws every block in its diffuse colour.
  bool preview_textures = true;
};

// Never throws.  A file that fails leaves no output and any existing output
// file untouched.
FileResult ConvertFile(const std::string& input, const std::string& output,
                       const FileSettings& settings = {});
