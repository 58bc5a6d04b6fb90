// Converts one model file (3DS, glTF or OBJ) into one BMF file through the
// C++ API.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "torvik32c/batch_copies.h"
#include "torvik32c/keyframer.h"
#include "torvik32c/name_text.h"
#include "torvik32c/reports.h"
#include "torvik32c/texture_resolver.h"

// The output name that means standard output.
inline constexpr const char* kStandardOutput = "-";

struct FileResult {
  std::string input;
  // The input's format, when it is not 3DS: "glTF", "OBJ".
  std::string format;
  std::string output;
  bool ok = false;
  bool cancelled = false;  // interrupted before the BMF was complete: no output
  std::string error;       // the detailed reason when !ok
  std::string error_path;  // the file the error is about
  std::string preview;     // the PNG written with --preview
  // The BMF is complete but the preview asked for was interrupted.
  bool preview_unfinished = false;
  std::string gltf;  // the binary glTF written with --gltf
  // "PATH: what happened", printed as warnings: names and paths shown
  // (ShownName, ShownPath) as each note is made.
  std::vector<std::string> notes;
  std::size_t blocks = 0, vertices = 0, triangles = 0, degenerate = 0;
  bool default_material = false;
  double milliseconds = 0;
  std::vector<torvik::TextureResolution> textures;  // each distinct texture name, resolved
  std::vector<bool> copied;  // per texture, with copy_textures: beside the BMF now
  // Every map of the materials, resolved for its kind, when they were
  // looked up (FileSettings::MapsUsed).
  std::optional<std::vector<torvik::MaterialMap>> maps;
  // With copy_textures: the files of the maps other than texture 1, each
  // kind and name once, and whether each is beside the BMF now.
  std::vector<std::pair<torvik::TextureResolution, bool>> map_copies;
  // What the keyframer changes, when it was read (keyframer or report_keyframer).
  std::optional<torvik::KeyframerEffect> keyframer;
  // The animation, cameras and lights, when report_scene asked for them.
  std::optional<torvik::SceneContents> contents;
  // With orient_outward: the meshes reversed.
  std::optional<std::size_t> reversed;
  // A glTF's: the instances drawn beyond the first of each mesh.
  std::optional<std::size_t> instances;
  // The images stored inside a glTF, written beside the BMF.
  std::vector<std::string> embedded;
};

struct FileSettings {
  // Also render the converted model into a PNG beside the BMF; a preview
  // that can't be written fails the file but leaves the BMF in place.  A BMF
  // written to standard output, a pipe or a device gets no preview (a note
  // says so).
  bool preview = false;
  // Also export the converted model as binary glTF beside the BMF, with the
  // textures resolved for the input embedded; like the preview, a glTF that
  // can't be written fails the file but leaves the BMF in place.
  bool gltf = false;
  // Hard edges where the model's smoothing groups say so.
  bool smoothing_groups = false;
  // A glTF's or OBJ's own normals rather than the converter's (refused for
  // a 3DS file, which stores none).
  bool file_normals = false;
  // --name-encoding was given (refused for a glTF or OBJ file, whose names
  // are UTF-8 or kept as they are).
  bool name_encoding_given = false;
  // Every face keeps its corners as the file stores them (no exchange for
  // faces whose flag word is 7).
  bool keep_file_winding = false;
  // Draw the meshes where the keyframer places them (warnings about a
  // damaged keyframer become notes).
  bool keyframer = false;
  // The most faces (and vertices) `keyframer` may draw.
  std::uint64_t max_placed_faces = torvik::kDefaultMaxPlacedFaces;
  // Without `keyframer`: read the keyframer anyway, to measure what it would
  // change and note it when it would draw more instances or move objects.
  bool report_keyframer = false;
  // Also read the keyframer's tracks, the cameras and the lights, and
  // measure them (FileResult::contents); the BMF is the same.
  bool report_scene = false;
  // The frame rate of the glTF's animation (--fps).
  std::size_t frames_per_second = 30;
  // Reverse the meshes whose faces clearly face inward.
  bool orient_outward = false;
  // How names that are not UTF-8 read as text (--name-encoding).
  torvik::NameDecoder names = {};
  // Folders searched for textures after the model's own.
  std::vector<std::filesystem::path> texture_paths;
  // The user's decisions for stored texture names (--texture NAME=FILE).
  std::vector<torvik::TextureChoice> texture_choices;
  // Copy every found texture, and the file of every map, beside the BMF
  // under its stored name (only when the BMF went to a regular file; a note
  // says so otherwise).
  bool copy_textures = false;
  // Look up the files of the materials' maps (texture 1's, bump, opacity,
  // specular... maps) to report them (--json); the glTF, the preview and
  // the copies look them up anyway.
  bool report_maps = false;
  // Shared by the files of one run that copy textures, which copy in input
  // order, `index` being this file's place in it; none for a lone file.
  torvik::BatchCopies* batch = nullptr;
  std::size_t index = 0;
  // A texture not found or ambiguous fails the file.
  bool require_textures = false;
  // Previews draw textures; false draws every block in its diffuse colour.
  bool preview_textures = true;
  // Each block's triangles in a GPU-friendly order (GpuTriangleOrder).
  bool optimize = false;
  // Checked between the stages of the conversion: once raised, the file
  // stops, leaving no output and no temporary file.
  const std::atomic<bool>* cancel = nullptr;
  // The most threads the conversion may use (0: the machine's cores).
  std::size_t threads = 0;
};

// Whether the conversion looks up the files of the materials' maps: for the
// glTF, the preview, the copies or the report.
bool MapsUsed(const FileSettings& settings);

// Where --preview puts the PNG of the BMF `output`.
std::string PreviewPath(const std::string& output);
// Where --gltf puts the binary glTF of the BMF `output`.
std::string GltfPath(const std::string& output);

// How the settings read a 3DS file.
torvik::ReadOptions SceneReadOptions(const FileSettings& settings);

// Reads the scene of `input` as the conversion does: a regular file by the
// library's own path; standard input ("-"), a pipe or a FIFO read to its
// end first, an interruption stopping the wait.  Throws as the reader does.
torvik::H3dsScene ReadSceneInput(const std::string& input, const FileSettings& settings);

// How the conversion into `output` looks for textures: the settings'
// folders, choices and cancellation flag, and the files it writes left out.
torvik::TextureSearchOptions TextureSearchFor(const std::string& output,
                                              const FileSettings& settings);

// Never throws.  A file that fails leaves no output and any existing output
// file untouched.  `output` may be kStandardOutput.
FileResult ConvertFile(const std::string& input, const std::string& output,
                       const FileSettings& settings = {});
