// What the converter's front ends (3ds2bmf, bmftool, the web page, the
// language bindings) say about a model, in one place so that they say it
// alike: why a conversion failed, what the keyframer would change, names
// and texture outcomes as a person reads them, and JSON text.
//
// Messages are text for people: each name and path in one is shown
// (ShownName, ShownPath) where the message is built, here and in the
// library, and the message is then printed as it is.  Structured output
// (JSON fields, glTF names) holds names as text instead (NameUtf8),
// unescaped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/keyframer.h"
#include "torvik32c/name_text.h"
#include "torvik32c/texture_resolver.h"

namespace torvik {

// --- Failures and the keyframer ---

// The reason for the exception being handled, as 3ds2bmf prints it after
// "3ds2bmf: PATH: ".  The library's errors show their names already; the
// text of any other exception (the standard library's file-system errors
// quote paths) goes through ShownText.  Call it only inside a catch block.
// `limit_option` names what raises the keyframer's limit
// (PlacementTooLarge) in the caller's own terms.
std::string FailureReason(std::string_view limit_option = "--max-placed-faces");

// "the keyframer draws 2 more instances and moves 3 objects; --keyframer
// applies it" when the keyframer, not applied, would draw more instances or
// move objects; empty otherwise.
std::string KeyframerNote(const KeyframerEffect& effect);

// Places the scene's meshes by its keyframer and measures what that changes
// into `effect`.  With `apply`, draws the meshes where it places them
// (throwing PlacementTooLarge past `max_placed_faces`, see DrawPlacedMeshes)
// and returns its warnings; without, leaves the meshes as stored and
// returns the KeyframerNote, if any.  Each message still wants "PATH: "
// before it; the names in them read as `names` decodes them.
std::vector<std::string> ApplyKeyframer(H3dsScene& scene, bool apply, KeyframerEffect& effect,
                                        const NameDecoder& names = {},
                                        std::uint64_t max_placed_faces = kDefaultMaxPlacedFaces);

// --- The scene in motion ---

// What the scene export adds to the meshes, for --list and --json: the
// keyframer's animation, the cameras and the lights.  The scene must be
// read with ReadOptions::animation and cameras_and_lights.
struct SceneContents {
  std::array<std::uint32_t, 2> frames{0, 0};  // AnimationFrames
  std::size_t animated_nodes = 0;             // nodes whose tracks move or hide them
  std::size_t keys = 0;                       // the keys of their tracks
  std::vector<std::string> cameras;
  struct Light {
    std::string name;
    const char* kind;  // "omni" or "spot"
    bool off;
  };
  std::vector<Light> lights;
};
SceneContents MeasureSceneContents(const H3dsScene& scene, const ScenePlacement& placement);

// "frames 0 to 120, 4 animated nodes (31 keys)", or "none" without an
// animated node.
std::string AnimationSummary(const SceneContents& contents);
// "\"Chase\"", and for lights "\"Lamp\" (omni)", "\"Spot\" (spot, off)": a
// line for each.
std::vector<std::string> CameraLines(const SceneContents& contents, const NameDecoder& names = {});
std::vector<std::string> LightLines(const SceneContents& contents, const NameDecoder& names = {});
// {"frames":[0,120],"nodes":4,"keys":31}; ["Chase"];
// [{"name":"Lamp","type":"omni","on":true}].
std::string AnimationJson(const SceneContents& contents);
std::string CamerasJson(const SceneContents& contents, const NameDecoder& names = {});
std::string LightsJson(const SceneContents& contents, const NameDecoder& names = {});

// --- Names as shown ---

// A stored name in double quotes as a message shows it (ShownName):
// backslashes and all ("C:\MAPS\WOOD.JPG"), decoded as `names` says, with
// control characters escaped so that a name can't move the cursor or end
// the line.
std::string QuotedName(const std::string& name, const NameDecoder& names = {});

// The decoder of names that --name-encoding NAME asks for: NAME is
// Windows-1252 (the default; also CP1252), UTF-8 (each broken sequence
// becomes one U+FFFD, as browsers read it) or, where the build has iconv, any encoding iconv knows
// (Shift_JIS, GBK, ...; bytes it can't decode become U+FFFD).  Case and
// hyphens don't matter for the first two.  Throws std::invalid_argument
// naming NAME when it is unknown, or needs iconv and the build has none.
NameDecoder NameDecoderFor(const std::string& encoding);

// Whether this build decodes names through iconv (encodings other than
// Windows-1252 and UTF-8).
bool NameEncodingsByIconv();

// --- JSON text ---

// `text` as a quoted JSON string, with quotes, backslashes and control
// characters escaped (C0, DEL and the C1 controls U+0080 to U+009F, so that
// a line printed on a terminal can't drive it).  Bytes that are not part of valid UTF-8 (texture
// names and paths are often Latin-1) are taken as Latin-1 and escaped as \u00XX, so the output is
// always valid JSON.
std::string JsonString(const std::string& text);

// `text` as valid UTF-8: bytes that are not part of valid UTF-8 are taken
// as Latin-1, as JsonString takes them (for paths, whose bytes are the file
// system's; a stored name is text by NameUtf8).
std::string ValidUtf8(const std::string& text);

// A float as JSON, in the fewest digits that read back as the same float;
// NaN and the infinities, which JSON lacks, become null.
std::string JsonNumber(float value);

// "1 block", "3 blocks": a count and its noun, in the plural unless it is 1
// (the noun plus "s" unless `plural` is given: "vertex", "vertices").
std::string Counted(std::size_t count, const std::string& noun, const std::string& plural = "");

// --- Textures ---

// The non-empty names, each once, in the order they first appear.
std::vector<std::string> DistinctTextureNames(const std::vector<std::string>& names);

// Resolves each of `names` for the model at `model_file`, in one
// ModelTextureSearch.
std::vector<TextureResolution> ResolveTextures(const std::vector<std::string>& names,
                                               const std::filesystem::path& model_file,
                                               const TextureSearchOptions& options);
// The same in a search the caller shares with other names.
std::vector<TextureResolution> ResolveTextures(const std::vector<std::string>& names,
                                               ModelTextureSearch& search);

std::size_t FoundCount(const std::vector<TextureResolution>& textures);

// {"name":..,"path":..,"rule":..,"candidates":[..]}: path and rule null when
// nothing was found, candidates empty unless the name is ambiguous; the
// name decoded as `names` says.
std::string TextureJson(const TextureResolution& texture, const NameDecoder& names = {});
// The objects as a JSON array; with `copied` (one flag per texture) each
// object also says "copied": true or false.
std::string TexturesJson(const std::vector<TextureResolution>& textures,
                         const std::vector<bool>* copied = nullptr, const NameDecoder& names = {});

// 'texture "X.JPG" not found', or 'texture "X.JPG" is ambiguous: A, B
// (using A)'; empty when the texture was found once.  Without `used` (the
// file fails for it) an ambiguous texture's line names no pick.  A map of
// another kind than texture 1 is named by its kind: 'bump map "X.JPG" not
// found'.
std::string TextureProblem(const TextureResolution& texture, bool used = true,
                           const NameDecoder& names = {});

// "maps/wood.jpg (subfolder)", "maps/wood.jpg (subfolder, 2 candidates)"
// or "not found", for text reports.
std::string TextureOutcome(const TextureResolution& texture);

// --- Material maps ---

// "texture" for texture 1, else the kind and "map": "bump map".
std::string MapNoun(MapKind kind);

// One map of a scene material, as stored, with the file found for it.
struct MaterialMap {
  std::string material;    // the material's name as stored
  H3dsTextureMap map;      // as stored; its kind is file.kind
  TextureResolution file;  // resolved for its kind
};

// Every map of the materials that names a file, by material and then in
// MapKind order, each kind and name resolved once, in one search.
std::vector<MaterialMap> ResolveMaterialMaps(const std::vector<H3dsMat>& materials,
                                             const std::filesystem::path& model_file,
                                             const TextureSearchOptions& options);
// The same in a search the caller shares with other names.
std::vector<MaterialMap> ResolveMaterialMaps(const std::vector<H3dsMat>& materials,
                                             ModelTextureSearch& search);

// The files of the maps, each kind and name once, in their order (for
// ResolvedTextures, copies and warnings); with `without_texture`, the
// other kinds' only.
std::vector<TextureResolution> DistinctMapFiles(const std::vector<MaterialMap>& maps,
                                                bool without_texture = false);

// TextureProblem of each file of the maps other than texture 1 (whose
// problems the texture report has) that is missing or ambiguous.
std::vector<std::string> MapFileProblems(const std::vector<MaterialMap>& maps,
                                         const NameDecoder& names = {});

// How the map differs from a plain one, for text reports: "30 %, tiled 3 x
// 4.5, offset 0.25 0.5, turned 30 degrees, mirrored"; empty for a map at
// 100 %, tiled once, in place, repeating.
std::string MapParameters(const H3dsTextureMap& map);

// 'material "Wall": bump map "B.JPG" 30 %, tiled 3 x 4.5: maps/b.jpg (8.3)',
// the outcome as TextureOutcome says it.
std::string MaterialMapLine(const MaterialMap& map, const NameDecoder& names = {});

// A JSON array of {"material":..,"kind":..,"name":..,"path":..,"rule":..,
// "candidates":[..],"amount":..,"tiling":..,"scale":[u,v],"offset":[u,v],
// "rotation":..}, as TextureJson has the file's; with `copied` (the files
// copied, as DistinctMapFiles lists them) each also says "copied".
std::string MaterialMapsJson(
    const std::vector<MaterialMap>& maps,
    const std::vector<std::pair<TextureResolution, bool>>* copied = nullptr,
    const NameDecoder& names = {});

}  // namespace torvik
