// Converts one 3DS file into one BMF file through the C++ API.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct FileResult {
  std::string input;
  std::string output;
  bool ok = false;
  std::string error;                  // the detailed reason when !ok
  std::string error_path;             // the file the error is about
  std::string preview;                // the PNG written with --preview
  std::string gltf;                   // the binary glTF written with --gltf
  std::vector<std::string> warnings;  // about the glTF: textures not found
  std::size_t blocks = 0, vertices = 0, triangles = 0, degenerate = 0;
  bool default_material = false;
  double milliseconds = 0;
};

struct FileSettings {
  // Also render the converted model into a PNG beside the BMF; a preview
  // that can't be written fails the file but leaves the BMF in place.
  bool preview = false;
  // Hard edges where the model's smoothing groups say so.
  bool smoothing_groups = false;
  // Also export the converted model as binary glTF beside the BMF, with the
  // textures found beside the input embedded; like the preview, a glTF that
  // can't be written fails the file but leaves the BMF in place.
  bool gltf = false;
};

// Never throws.  A file that fails leaves no output and any existing output
// file untouched.
FileResult ConvertFile(const std::string& input, const std::string& output,
                       const FileSettings& settings = {});
