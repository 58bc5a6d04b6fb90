// A conversion as every front end runs it (3ds2bmf, the web page's module,
// the Python module): from the bytes of a model (a 3DS file, a glTF 2.0 or a
// Wavefront OBJ file, told by content) to the BMF bytes, with what 3ds2bmf
// reports about it; and the scene's glTF as 3ds2bmf --gltf writes it.  One implementation, so that
// every front end writes the same bytes and says the same.  Part of torvik_reports.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/converted_meshes.h"
#include "torvik32c/keyframer.h"
#include "torvik32c/model_import.h"
#include "torvik32c/name_text.h"
#include "torvik32c/outgl.h"
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
  // --file-normals: keep the normals a glTF or OBJ file stores (its
  // vertices that differ only in their normal stay apart).
  bool file_normals = false;
  // The files a glTF or OBJ file names beside it (buffers, images, material
  // libraries): a virtual folder for a front end without files of its own;
  // none: those in the folder of the model file and below (FilesBeside).
  std::optional<FileReader> files;
  // Read the keyframer, when it is not applied, to measure what it would
  // change (ConversionReport::keyframer) and note it.
  bool measure_keyframer = true;
  // Also read the keyframer's tracks, the cameras and the lights, and
  // measure them (ConversionReport::contents); the BMF is the same.
  bool report_scene = false;
  // Look the textures and the files of the materials' other maps up at all
  // (they never change the BMF, which keeps every name as stored); the rest
  // of the textures' settings need it.
  bool resolve_textures = true;
  std::vector<std::filesystem::path> texture_paths;  // --texture-path DIR...
  std::vector<TextureChoice> texture_choices;        // --texture NAME=FILE...
  bool require_textures = false;                     // --require-textures
  // Files the caller writes (the BMF, its preview, its glTF): never taken
  // for textures.
  std::vector<std::filesystem::path> outputs;
  // When given, the BMF is written there as 3ds2bmf writes it (encoded on
  // several threads while written, through a temporary file that replaces
  // the destination only when complete) instead of being returned; it is
  // then never a texture either.
  std::filesystem::path destination;
  // Each block's triangles in another order (--optimize; bmf.h).
  TriangleOrder triangle_order;
  // The glTF's animation: its frames per second (--fps) and its name (the
  // model file's stem when empty, and "Animation" without one).
  double frames_per_second = 30;
  std::string animation_name;
  // The most threads each stage uses (0: the machine's cores).
  std::size_t threads = 0;
  // The scene glTF is made next from the same bytes: keep the meshes as
  // converted (ConversionReport::meshes) for it, so that it need not
  // convert them again.  Only a conversion without the keyframer,
  // smoothing groups or orient_outward keeps them.
  bool share_meshes_with_gltf = false;
  // Raised by another thread: the conversion stops between its stages
  // with Cancelled.
  const std::atomic<bool>* cancel = nullptr;
  // Asked now and then during the glTF's long work (its animation's
  // samples); true stops it with Cancelled as `cancel` does.  A host that
  // handles signals itself (Python) answers here.
  std::function<bool()> cancelled;
  // How names that are not UTF-8 read in the warnings and the textures'
  // names (--name-encoding; none: Windows-1252).
  NameDecoder names;
};

// The BMF and what 3ds2bmf would report for it.
struct ConversionReport {
  std::vector<byte> bmf;  // empty when written to ConversionSettings::destination
  ModelFormat format = ModelFormat::three_ds;  // the input's, told by its content
  std::size_t instances = 0;  // a glTF's instances drawn beyond the first of each mesh
  // The images stored inside a glTF, which the BMF names by file: whoever
  // writes the BMF writes them beside it (their file names are plain).
  // With a destination, its folder is where the textures' lookup expects
  // them.
  std::vector<EmbeddedImage> images;
  std::size_t blocks = 0;
  std::size_t vertices = 0;
  std::size_t triangles = 0;
  std::size_t degenerate = 0;  // degenerate triangles dropped
  bool default_material = false;
  KeyframerEffect keyframer;                // what the keyframer changes, when measured or applied
  std::optional<SceneContents> contents;    // with report_scene
  std::size_t reversed = 0;                 // with orient_outward: the meshes reversed
  std::vector<TextureResolution> textures;  // texture 1's names, each once, when resolved
  std::vector<MaterialMap> maps;            // every map of every material, when resolved
  std::vector<std::string> warnings;        // "PATH: texture ... not found", ...
  // With share_meshes_with_gltf: the meshes as converted, which
  // ConvertSceneToGltf takes (and lets go) when given this report.
  std::shared_ptr<ConvertedMeshes> meshes;
};

// A texture missing or ambiguous with ConversionSettings::require_textures:
// the message says how many, as 3ds2bmf does; `warnings` are the
// conversion's until then (each texture missing or ambiguous among them).
class MissingTextures : public std::runtime_error {
 public:
  MissingTextures(const std::string& message, std::vector<TextureResolution> found,
                  std::vector<std::string> said = {})
      : std::runtime_error(message), textures(std::move(found)), warnings(std::move(said)) {}
  std::vector<TextureResolution> textures;
  std::vector<std::string> warnings;
};

// The destination is the model file itself (by the same name, another
// spelling of it, a symbolic or a hard link): refused before any work.
class DestinationIsModel : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Throws DestinationIsModel when writing `destination` would replace
// `model_file` (IsSameFile, file_identity.h); either may be empty.
void CheckDestination(const std::filesystem::path& model_file,
                      const std::filesystem::path& destination);

// Called as each stage starts: "reading", "converting", "textures",
// "writing" (and "gltf" for the glTF).
using StageCallback = std::function<void(const char* stage)>;

// Called once the BMF is written, with the model written and its materials
// as the file stores them (with their maps), before the model's memory is
// given back: for a caller that draws the model as written (a preview).
using WrittenCallback =
    std::function<void(const Model& model, const std::vector<H3dsMat>& materials)>;

// The files a model's materials name, looked up as a conversion looks them
// up (ConversionSettings' folders, choices and outputs), in one search:
// texture 1's names, and every map with the file of its kind.  `warnings`
// say which are missing or ambiguous ("PATH: texture ... not found"; a
// texture's as ConvertModel words it with require_textures), and
// `texture_problems` counts texture 1's.
struct ModelFiles {
  std::vector<TextureResolution> textures;
  std::vector<MaterialMap> maps;
  std::vector<std::string> warnings;
  std::size_t texture_problems = 0;
};
ModelFiles FindModelFiles(const std::vector<H3dsMat>& materials,
                          const std::filesystem::path& model_file,
                          const ConversionSettings& settings);

// The settings that a model of `format` can't take: the 3DS-only ones
// (keyframer, smoothing_groups, keep_file_winding) on a glTF or OBJ file,
// file_normals on a 3DS file, which stores none; `name_encoding` says that
// names are read in an encoding asked for.  Returns why, naming the
// options as 3ds2bmf does ("--keyframer reads what only a 3DS file holds;
// this is a glTF file"), or an empty string.
std::string RefusedSettings(ModelFormat format, const ConversionSettings& settings,
                            bool name_encoding = false);

// A model given settings it can't take (RefusedSettings says why).
class RefusedSettingsError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Converts the bytes of a model: a 3DS, glTF or OBJ file, as its content
// says (DetectModelFormat; the extension of `model_file` where it tells
// nothing).  A glTF's or OBJ's files beside it are read through
// ConversionSettings::files, within the input's budget; its warnings begin
// as the others.  Throws RefusedSettingsError before any work for settings
// the format can't take.  `model_file` is where the model lies:
// textures and maps are looked up beside it (with resolve_textures,
// FindModelFiles), and the warnings begin with it ("PATH: ", shown as
// ShownPath shows it; nothing when it is empty).  The keyframer is read and
// measured (measure_keyframer); a warning says, as 3ds2bmf does, when it
// would draw more instances or move objects and is not applied.  Throws
// DestinationIsModel before any work, as the reader, the conversion and the
// writer do, and MissingTextures.
ConversionReport ConvertModel(std::span<const byte> bytes, const std::filesystem::path& model_file,
                              const ConversionSettings& settings,
                              const StageCallback& stage = nullptr,
                              const WrittenCallback& written = nullptr);
// The same, giving the bytes' memory back once they are read.
ConversionReport ConvertModel(std::vector<byte>&& bytes, const std::filesystem::path& model_file,
                              const ConversionSettings& settings,
                              const StageCallback& stage = nullptr,
                              const WrittenCallback& written = nullptr);

// The scene's glTF and what was said making it.
struct GltfConversion {
  std::vector<byte> glb;  // empty when written to a file
  // Looked up here (none when the conversion's were used): as ModelFiles.
  std::vector<TextureResolution> textures;
  std::vector<MaterialMap> maps;
  std::vector<std::string> warnings;  // "PATH: texture ... not found", "PATH: warning: ..."
};

// The scene of the model's bytes as binary glTF, as 3ds2bmf --gltf writes
// it (gltf_export.h); of a glTF or OBJ file, a plain copy of the scene as
// read (each mesh as drawn, its materials and textures).  Of a 3DS file,
// the scene as authored, with the settings'
// orient_outward, frames_per_second, animation_name, names and threads, and
// the file of each map found for its kind (FindModelFiles) embedded.  With
// `conversion`, the report of ConvertModel for the same bytes and settings,
// its files are used and the warnings it gave (the files' problems, and the
// keyframer's when it applied it) are not repeated, and the meshes it kept
// (share_meshes_with_gltf) are taken where they are the glTF's own, the
// model then let go; without, the files are looked up here and warned of
// as ConvertModel warns of them.  The bytes are the same either way.  Written to
// `destination` when given (through a temporary file that replaces it only
// when complete), else returned.  The warnings begin with `model_file` as
// ConvertModel's do.  Throws as the reader and the export do.
GltfConversion ConvertSceneToGltf(std::span<const byte> bytes,
                                  const std::filesystem::path& model_file,
                                  const ConversionSettings& settings,
                                  const std::filesystem::path& destination = {},
                                  const ConversionReport* conversion = nullptr);
// The same, giving the bytes' memory back once they are read.
GltfConversion ConvertSceneToGltf(std::vector<byte>&& bytes,
                                  const std::filesystem::path& model_file,
                                  const ConversionSettings& settings,
                                  const std::filesystem::path& destination = {},
                                  const ConversionReport* conversion = nullptr);

}  // namespace torvik
