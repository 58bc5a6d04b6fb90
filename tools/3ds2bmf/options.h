// Command-line options of 3ds2bmf.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "torvik32c/keyframer.h"
#include "torvik32c/name_text.h"
#include "torvik32c/texture_resolver.h"

struct Options {
  std::vector<std::string> inputs;
  std::optional<std::string> output;     // -o FILE ("-": standard output)
  std::optional<std::string> directory;  // -d DIR
  std::size_t jobs = 0;                  // 0: one per core
  std::size_t threads = 0;               // per conversion; 0: the cores shared out
  bool quiet = false;
  bool verbose = false;
  bool json = false;
  bool preview = false;            // --preview: a PNG beside each BMF
  bool gltf = false;               // --gltf: a binary glTF beside each BMF
  bool smoothing_groups = false;   // --smoothing-groups: hard edges by groups
  bool file_normals = false;       // --file-normals: a glTF's or OBJ's own normals
  bool keep_file_winding = false;  // --keep-file-winding: no flag-7 exchange
  bool keyframer = false;          // --keyframer: meshes where the keyframer places them
  // --max-placed-faces N: the most faces (and vertices) --keyframer draws
  std::uint64_t max_placed_faces = torvik::kDefaultMaxPlacedFaces;
  bool orient_outward = false;                       // --orient-outward: inward meshes reversed
  std::size_t fps = 30;                              // --fps N: the glTF animation's frame rate
  std::vector<std::filesystem::path> texture_paths;  // --texture-path DIR, repeatable
  bool copy_textures = false;                        // --copy-textures
  bool require_textures = false;                     // --require-textures
  bool textures = true;                              // false: --no-textures
  bool optimize = false;                             // --optimize: GPU-friendly triangle order
  bool help = false;
  bool version = false;
  // --texture NAME=FILE, repeatable
  std::vector<torvik::TextureChoice> texture_choices;
  // --list: report each model's facts, write nothing
  bool list = false;
  // --name-encoding NAME: how names that are not UTF-8 read as text
  torvik::NameDecoder names;
  bool name_encoding_given = false;
};

// Throws std::invalid_argument with a message for the user on a usage error.
Options ParseOptions(const std::vector<std::string>& args);

// Where the BMF for `input` goes under `options`.
std::string OutputPath(const Options& options, const std::string& input);

extern const char* const kUsage;

// kUsage, followed by what this build refuses for want of a library.
std::string UsageText();
