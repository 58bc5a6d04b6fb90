// Texture names taken apart and compared the way the resolver needs: stored
// names split into path components, and file names on disk compared with
// them, ignoring ASCII case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "torvik32c/map_kind.h"

namespace torvik::textures {

// The stored name's components: '\' and '/' both separate them, a leading
// drive letter ("C:") is dropped, and empty, "." and ".." components are
// left out, so the result never climbs out of the folder it is joined to.
std::vector<std::string> NameComponents(std::string_view stored);

// Equal but for ASCII case.
bool SameName(std::string_view a, std::string_view b);
// `text` begins with `prefix`, ignoring ASCII case.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

// A file name's stem and extension: "wood.jpg" is "wood" and "jpg".  A name
// with no dot, or whose only dot is its first character, has no extension.
struct NameParts {
  std::string_view stem, extension;
};
NameParts SplitName(std::string_view name);

// The text with ASCII letters in lower case, as every comparison here
// ignores their case (and only theirs).
std::string LowerAscii(std::string_view text);

// "WINDOW" of the short name stem "WINDOW~1": the part before a tilde that
// digits follow to the end; empty when `stem` is no such name.
std::string_view ShortNamePrefix(std::string_view stem);

// png, jpg, jpeg, tga, bmp, gif or tif, in any case.
bool IsImageExtension(std::string_view extension);

// `on_disk` is a longer file name that `stored` is an 8.3 form of, with the
// same extension: "WINDOWFR.JPG" for "windowframe_oak.jpg", "WINDOW~1.JPG"
// for "window frame.jpg".
bool MatchesShortName(std::string_view stored, std::string_view on_disk);

// `on_disk` has the stem of `stored` and another image extension.
bool MatchesOtherExtension(std::string_view stored, std::string_view on_disk);

// The file name looks like a map other than a colour map: a word of its
// stem is one of a map kind's words (opacity: alpha, opacity, opac, mask,
// transparency, cutout; bump: bump, height, heightmap, displacement, disp;
// specular: specular, spec; shininess: gloss, glossiness, shininess,
// roughness; self-illumination: illum, selfillum, illumination, emissive,
// emission, glow; reflection: reflection, reflect, refl, env, environment,
// chrome) or of a normal map (normal, normals, nrm).  Words are split at
// anything but a letter or digit, and where a lower-case letter meets an
// upper-case one.
bool LooksLikeOtherMap(std::string_view name);

// Where a file found for a map of `kind` stands among several: 0 for a
// name with one of that kind's words (never for texture 1 or 2), 1
// for one that looks like a colour map, 2 for one that looks like another
// kind of map.
int CandidateRank(std::string_view name, MapKind kind);

}  // namespace torvik::textures
