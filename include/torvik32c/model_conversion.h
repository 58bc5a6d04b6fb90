// A conversion as the front ends without a command line run it (the web
// page's module, the Python module): from the bytes of a 3DS file to the BMF
// bytes 3ds2bmf would write with the same options, with what 3ds2bmf would
// report about it.  Part of torvik_reports.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "torvik32c/keyframer.h"
#include "torvik32c/name_text.h"
#include "torvik32c/reports.h"
#include "torvik32c/texture_resolver.h"
#include "torvik32c/types.h"

namespace torvik {

// The options of 3ds2bmf that change a conversion, named as there.
struct ConversionSettings {
  bool smoothing_groups = false;   // --smoothing-groups
  bool keep_file_winding = false;  // --keep-file-winding
  bool keyframer = false;          // --keyframer
  // --max-placed-faces: the most faces (and vertices) `keyframer` may draw;
  // past it the conversion throws PlacementTooLarge.
  std::uint64_t max_placed_faces = kDefaultMaxPlacedFaces;
  bool orient_outward = false;  // --orient-outward
  // Look the textures up at all (they never change the BMF, which keeps
  // every name as stored); the rest of the textures' settings need it.
  bool resolve_textures = true;
  std::vector<std::filesystem::path> texture_paths;  // --texture-path DIR...
  std::vector<TextureChoice> texture_choices;        // --texture NAME=FILE...
  bool require_textures = false;                     // --require-textures
  // Also look up the files of the materials' maps (ConversionReport::maps),
  // for a caller that reports or copies them; needs resolve_textures.
  bool resolve_maps = false;
  // Files the caller writes (the BMF): never taken for textures.
  std::vector<std::filesystem::path> outputs;
  // When given, the BMF is written there as 3ds2bmf writes it (encoded on
  // several threads while written, through a temporary file that replaces
  // the destination only when complete) instead of being returned; it is
  // then never a texture either.
  std::filesystem::path destination;
  // The most threads each stage uses (0: the machine's cores).
  std::size_t threads = 0;
  // Raised by another thread: the conversion stops between its stages
  // with Cancelled.
  const std::atomic<bool>* cancel = nullptr;
  // How names that are not UTF-8 read in the warnings and the textures'
  // names (--name-encoding; none: Windows-1252).
  NameDecoder names;
};

// The BMF and what 3ds2bmf would report for it.
struct ConversionReport {
  std::vector<byte> bmf;  // empty when written to ConversionSettings::destination
  std::size_t blocks = 0;
  std::size_t vertices = 0;
  std::size_t triangles = 0;
  std::size_t degenerate = 0;  // degenerate triangles dropped
  bool default_material = false;
  KeyframerEffect keyframer;                // what the keyframer changes (always measured)
  std::size_t reversed = 0;                 // with orient_outward: the meshes reversed
  std::vector<TextureResolution> textures;  // one per distinct name, when resolved
  std::vector<MaterialMap> maps;            // every map, with resolve_maps
  std::vector<std::string> warnings;        // "PATH: texture ... not found", ...
};

// A texture missing or ambiguous with ConversionSettings::require_textures:
// the message says how many, as 3ds2bmf does.
class MissingTextures : public std::runtime_error {
 public:
  MissingTextures(const std::string& message, std::vector<TextureResolution> found)
      : std::runtime_error(message), textures(std::move(found)) {}
  std::vector<TextureResolution> textures;
};

// Called as each stage starts: "reading", "converting", "textures",
// "writing".
using StageCallback = std::function<void(const char* stage)>;

// Converts the bytes of a 3DS file.  `model_file` is where the model lies:
// textures are looked up beside it (with resolve_textures), and the
// warnings begin with it ("PATH: ", shown as ShownPath shows it; nothing when it is empty).  The
// keyframer is always read and measured; a warning says, as 3ds2bmf does, when it would draw more
// instances or move objects and is not applied.  Throws as the reader, the conversion and the
// writer do, and MissingTextures.
ConversionReport ConvertModel(std::span<const byte> bytes, const std::filesystem::path& model_file,
                              const ConversionSettings& settings,
                              const StageCallback& stage = nullptr);

}  // namespace torvik
