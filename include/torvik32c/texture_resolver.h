// Finding the file a material's texture name stands for.
//
// Models store texture names the way their authoring tool saw them: upper
// case 8.3 names ("ROOFTILE.JPG" for "roofTile.jpg"), long names cut to 8
// characters ("WINDOWFR.JPG" for "windowframe_oak.jpg"), Windows short names
// ("WINDOW~1.JPG"), DOS paths ("C:\3DSMAX\MAPS\WOOD.JPG", "maps\wood.jpg"),
// with the maps in a folder beside the model.  ResolveTexture finds the file
// such a name stands for.
//
// The search folders are the model's folder, then the extra folders in the
// order given.  The usual subfolders of a search folder are, in this order,
// "<model stem>_maps", "maps", "textures", "texture", "images" and "tex", in
// any case.  Each search folder in turn is tried with these rules, in this
// order; the first rule that finds any file in a folder is the one that
// counts, and later folders are not searched:
//
//   path       the stored name, with '\' and '/' both separators and a drive
//              letter dropped, relative to the folder;
//   name       its last component alone in the folder;
//   subfolder  the last component in the folder's usual subfolders;
//   8.3        in the folder and its usual subfolders, with the same
//              extension: a stored stem of exactly 8 characters matches a
//              longer stem that starts with it, and a short name such as
//              "WINDOW~1" matches stems that start with "WINDOW" (spaces in
//              the stem ignored, as Windows drops them from short names);
//   extension  in the same places, the same stem with another image
//              extension: png, jpg, jpeg, tga, bmp, gif, tif.
//
// Every comparison ignores ASCII case.  When the counting rule finds several
// files the name is ambiguous: the candidates are listed by place (the
// folder itself, then its usual subfolders in the order above), and in one
// place with a name exactly as stored first and the others in byte order of
// their names; then the kind of map the name is for decides (MapKind,
// texture 1's unless said otherwise).  For texture 1 or 2, every candidate
// whose name looks like a colour map comes before those that look like
// another kind of map.  A name looks like another kind of map when one of
// the words of its stem (split at anything but a letter or digit, and where
// a lower-case letter meets an upper-case one) is a word of one of these
// kinds:
//
//   opacity            alpha, opacity, opac, mask, transparency, cutout
//   bump               bump, height, heightmap, displacement, disp
//   specular           specular, spec
//   shininess          gloss, glossiness, shininess, roughness
//   self-illumination  illum, selfillum, illumination, emissive, emission, glow
//   reflection         reflection, reflect, refl, env, environment, chrome
//   (normal maps)      normal, normals, nrm
//
// so "horlogue_difuse.jpg" comes before "horlogue_alpha.jpg".  For any
// other map, the candidates with a word of its own kind come first, then
// those that look like colour maps, then the rest: an opacity map
// "FACADE_G.JPG" that matches facade_grillage.jpg and
// facade_grillage_alpha.jpg picks the second.  The first candidate is the
// pick.  A file reached twice (a search folder given twice, say) is listed
// once.
//
// The tools' own files are never textures: a file the caller is about to
// write (TextureSearchOptions::outputs) is never a candidate, and the two
// rules that guess (8.3 and extension) never take a PNG file whose stem is
// the model's stem, an output's stem, or the stem of a BMF file in the same
// folder, since previews go beside their BMF under its stem (the other files
// the tools write, glTF, OBJ and MTL, are no images).  So a model "cube.3ds"
// that names "CUBE.TGA" never finds the preview "cube.png", but still finds
// "cube.jpg".  A choice (TextureSearchOptions::choices) decides a name
// before any rule: the rule is then "given".
//
// Texture names come from untrusted files, so the search never leaves the
// search folders: an absolute name or one with ".." is reduced to its other
// components, and a symbolic link that leads outside every search folder is
// not followed.  A folder that can't be read finds nothing.  The work per
// name is bounded: each folder is listed once however many routes lead to it
// (links to "." in several cases, say), and a search that would examine more
// than TextureSearchOptions::limit folders and files (kTextureSearchLimit
// unless the caller says otherwise) stops and finds nothing.
//
// A model's names are resolved together by a ModelTextureSearch, with the
// same results as ResolveTexture gives each alone: each folder is listed and
// indexed once for all of them, so that the search costs the folders' sizes
// plus the names rather than their product, and the files that the names'
// searches examine together are bounded too (TextureSearchOptions::
// model_limit): past it, each name that would examine one more stops and
// finds nothing.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "torvik32c/export.h"
#include "torvik32c/map_kind.h"

namespace torvik {

enum class TextureRule {
  stored_path,
  last_component,
  subfolder,
  short_name,
  other_extension,
  given  // decided by a TextureChoice
};

// "path", "name", "subfolder", "8.3", "extension", "given".
TORVIK_API const char* TextureRuleName(TextureRule rule);

struct TextureResolution {
  std::string name;                               // as stored
  MapKind kind = MapKind::texture;                // the kind of map it was looked up for
  std::optional<std::filesystem::path> path;      // the pick (the first candidate), or none
  TextureRule rule = TextureRule::stored_path;    // the rule that found it, when path is set
  std::vector<std::filesystem::path> candidates;  // every file the rule found, in order

  // Folders listed and files and folders examined: the search's work.
  std::size_t visited = 0;
  // The search reached its limit and stopped.
  bool stopped = false;
  // ...the limit of the model's searches together: `visited` is then what
  // they examined.
  bool stopped_for_model = false;

  bool found() const { return path.has_value(); }
  bool ambiguous() const { return candidates.size() > 1; }
};

// The most folders and files one name's search examines.
inline constexpr std::size_t kTextureSearchLimit = 4096;
// The most files and folders that the searches of one model's names examine
// together (folders listed are not counted: each is listed once).
inline constexpr std::size_t kModelTextureSearchLimit = std::size_t{1} << 20;

// The user's decision for a stored name: `name` matches a stored name equal
// to it ignoring ASCII case, and, when it has no '\' or '/', any stored name
// whose last component it is.
struct TextureChoice {
  std::string name;
  std::filesystem::path file;
};

struct TextureSearchOptions {
  // Searched after the model's folder, in order.
  std::vector<std::filesystem::path> extra_folders;
  // Files the caller writes beside the model or elsewhere (its BMF, preview,
  // glTF): never candidates, and their stems are not guessed from.
  std::vector<std::filesystem::path> outputs;
  // Checked first; the first that matches decides the name.
  std::vector<TextureChoice> choices;
  // The most folders and files one name's search examines before it stops.
  std::size_t limit = kTextureSearchLimit;
  // The most files and folders the names of one ModelTextureSearch examine
  // together; a name resolved alone has only `limit`.
  std::size_t model_limit = kModelTextureSearchLimit;
  // Checked as the search goes: once raised, it throws torvik::Cancelled.
  const std::atomic<bool>* cancel = nullptr;
};

// Paths in the result are the search folders as given joined with the names
// found on disk: relative when the folders are.  Never throws for a folder
// or file that can't be read; only std::bad_alloc can escape.
TORVIK_API TextureResolution
ResolveTexture(std::string_view stored_name, const std::filesystem::path& model_file,
               std::span<const std::filesystem::path> extra_folders = {});
// The same with choices, outputs and a cancellation flag, for a map of
// `kind`.  Throws torvik::Cancelled when the flag is raised.
TORVIK_API TextureResolution ResolveTexture(std::string_view stored_name,
                                            const std::filesystem::path& model_file,
                                            const TextureSearchOptions& options,
                                            MapKind kind = MapKind::texture);

// Resolves the names of one model, each as ResolveTexture would, sharing
// what the file system said: each folder is listed once and indexed.  The
// files are taken to stay as they are while it lives.  Not for use by
// several threads at once.
class TORVIK_API ModelTextureSearch {
 public:
  explicit ModelTextureSearch(const std::filesystem::path& model_file,
                              TextureSearchOptions options = {});
  ~ModelTextureSearch();
  ModelTextureSearch(ModelTextureSearch&&) noexcept;
  ModelTextureSearch& operator=(ModelTextureSearch&&) noexcept;

  // The file of a map of `kind`.  Throws torvik::Cancelled when the
  // options' flag is raised.
  TextureResolution Resolve(std::string_view stored_name, MapKind kind = MapKind::texture);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace torvik
