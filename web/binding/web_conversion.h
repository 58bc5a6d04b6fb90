// A conversion as the web page runs it.  The page lays the dropped model and
// its texture files out in the module's in-memory file system as the user
// had them (subfolders kept), so the texture resolver's rules apply
// unchanged: case, subfolders, 8.3 names, other extensions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "torvik32c/keyframer.h"
#include "torvik32c/texture_resolver.h"
#include "torvik32c/types.h"

struct WebConvertOptions {
  bool smoothing_groups = false;   // --smoothing-groups
  bool keep_file_winding = false;  // --keep-file-winding
  bool keyframer = false;          // --keyframer
  // --max-placed-faces: the most faces (and vertices) `keyframer` may draw
  std::uint64_t max_placed_faces = torvik::kDefaultMaxPlacedFaces;
  bool orient_outward = false;  // --orient-outward
};

// What 3ds2bmf would report for the file, and the BMF it would write.
struct WebConversion {
  bool ok = false;
  std::string error;  // what 3ds2bmf prints after "3ds2bmf: PATH: "
  std::vector<torvik::byte> bmf;
  std::size_t blocks = 0;
  std::size_t vertices = 0;
  std::size_t triangles = 0;
  std::size_t degenerate = 0;
  bool default_material = false;
  torvik::KeyframerEffect keyframer;                // what the keyframer changes (always measured)
  std::size_t reversed = 0;                         // with orient_outward: the meshes reversed
  std::vector<torvik::TextureResolution> textures;  // one per distinct name
  std::vector<std::string> warnings;                // "PATH: texture ... not found", ...
  double milliseconds = 0;
};

// Called as each stage starts: "reading", "converting", "textures",
// "writing".
using StageCallback = std::function<void(const char* stage)>;

// Converts the 3DS file at `path` with one thread, as 3ds2bmf --threads 1
// does, resolving its textures beside it and measuring its keyframer (with a
// warning, as 3ds2bmf gives, when the keyframer would draw more instances or
// move objects and is not applied).  Never throws.
WebConversion ConvertModelFile(const std::string& path, const WebConvertOptions& options,
                               const StageCallback& stage);
