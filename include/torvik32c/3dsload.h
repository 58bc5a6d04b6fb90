// The 3DS reader: scene records, reading a scene from bytes or a file, and
// the conversion of a scene into a model.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "torvik32c/cameras_lights.h"
#include "torvik32c/export.h"
#include "torvik32c/file_bytes.h"
#include "torvik32c/keyframer.h"
#include "torvik32c/keyframer_tracks.h"
#include "torvik32c/map_kind.h"
#include "torvik32c/name_text.h"
#include "torvik32c/outgl.h"
#include "torvik32c/types.h"

namespace torvik {

// Names held by the scene have at most this many characters.
inline constexpr std::size_t kMaxNameLength = 49;

// The name the reader gives the binding of a mesh without face-material
// groups, and the name of the material the conversion adds for it.
inline constexpr const char* kDefaultMaterialName = "QZ_DEFAULT";

struct H3dsVert {
  float32 x, y, z;
};

struct H3dsMap {
  float32 u, v;
};

struct H3dsFace {
  uword p0, p1, p2;  // vertex indices into the mesh's vertlist
  word flags;        // the face's flag word as stored
};

// The flag word of a face stored mirrored: the reader swaps its p1 and p2
// unless ReadOptions::keep_file_winding.
inline constexpr word kSwappedFaceFlags = 7;

// One face-material group: which faces of the mesh use the named material.
struct H3dsMatList {
  std::string name;
  std::vector<uword> faces;  // indices into the mesh's facelist
};

struct H3dsMeshObj {
  std::string name;  // name of the object block that holds the mesh
  std::vector<H3dsFace> facelist;
  std::vector<H3dsVert> vertlist;
  std::vector<H3dsMap> maplist;  // one pair per vertex; may be shorter or empty
  int matrix = 0;                // 1 once a local-axis matrix was read
  float32 TraMatrix[12] = {};
  std::vector<H3dsMatList> bindings;
  // One smoothing-group mask per face, when the file has them and they were
  // asked for (ReadOptions::smoothing_groups); empty otherwise.
  std::vector<dword> smoothing;
};

struct H3dsRGBColor {
  float32 red = 0, green = 0, blue = 0;
  // Whether the colour came from a 24-bit chunk (each component then being
  // its byte / 256) rather than from a float one.
  bool from_bytes = false;
};

struct H3dsTexture {
  std::string texturename;
};

// Bits of a map's tiling flags (chunk 0xA351) as 3D Studio stores them.
inline constexpr uword kMapDecal = 0x0001;
inline constexpr uword kMapMirror = 0x0002;
inline constexpr uword kMapNegative = 0x0008;    // the map's values inverted
inline constexpr uword kMapNoTiling = 0x0010;    // shown once, not repeated
inline constexpr uword kMapSummedArea = 0x0020;  // a filtering hint
inline constexpr uword kMapAlphaSource = 0x0040;  // the image's alpha gives the values

// One map of a material, as stored.  The numbers are as the file has them
// (a scale of 0 included); the exports decide what they mean.
struct H3dsTextureMap {
  bool present = false;  // the material has the map's chunk
  std::string name;      // the image's file name (0xA300); empty: none
  // The map's amount, percent / 100 (0x0030, or 0x0031 without one, as for
  // transparency); 1 when the map has none.
  float32 percent = 1;
  uword tiling = 0;  // 0xA351: kMapMirror, kMapNoTiling, ...
  float32 blur = 0;  // 0xA353, percent / 100
  float32 u_scale = 1, v_scale = 1;    // 0xA354, 0xA356
  float32 u_offset = 0, v_offset = 0;  // 0xA358, 0xA35A
  float32 rotation = 0;                // 0xA35C, degrees

  // The map names an image.
  bool Used() const { return present && !name.empty(); }
};

struct H3dsMat {
  std::string name;
  H3dsRGBColor ambient, diffuse, specular;
  int doublesided = 0;
  H3dsTexture texture;
  // The transparency chunk's percentage / 100 as stored (its last integer
  // percentage, else its last float one, else 0); 0 without a chunk.
  float32 transparency = 0;
  // What the BMF keeps of it: the same, but 1.0 for a transparency below 2
  // percent (as for 100 percent); 0 without a chunk.
  float32 alpha = 0;
  // Read for the exports; the BMF keeps none of them.  A percentage is
  // percent / 100, read as transparency's is, and missing when the material
  // has no chunk for it (or one without a percentage).
  std::optional<float32> shininess;           // 0xA040
  std::optional<float32> shininess_strength;  // 0xA041
  std::optional<float32> self_illumination;   // 0xA084
  bool self_illumination_flag = false;        // 0xA080: self-illuminated, in older files
  std::optional<float32> transparency_falloff;  // 0xA052
  std::array<H3dsTextureMap, kMapKinds> maps;   // by MapKind; maps[texture].name is texture.texturename

  const H3dsTextureMap& Map(MapKind kind) const { return maps[static_cast<std::size_t>(kind)]; }
  H3dsTextureMap& Map(MapKind kind) { return maps[static_cast<std::size_t>(kind)]; }
};

struct H3dsScene {
  std::vector<H3dsMeshObj> meshobjlist;
  std::vector<H3dsMat> material;
  // Raised when some mesh had no face-material group and got the default binding.
  bool defaultmaterialwarning = false;
  // The keyframer's nodes in file order, when they were asked for
  // (ReadOptions::keyframer); empty otherwise, and for a file without one.
  std::vector<H3dsNode> nodes;
  // Why the keyframer was ignored (a chunk or track cut short): its nodes are
  // then empty, and the meshes are read as without it.  With the animation:
  // also the keys that were dropped (out of order, not finite numbers).
  std::vector<std::string> keyframer_warnings;
  // Every key of the nodes' tracks and the frame range, when they were asked
  // for (ReadOptions::animation).
  KeyframerAnimation animation;
  // The mesh editor's cameras and lights, in file order, when they were
  // asked for (ReadOptions::cameras_and_lights).
  std::vector<H3dsCamera> cameras;
  std::vector<H3dsLight> lights;
  // Why a camera or light was left out (a chunk cut short).
  std::vector<std::string> camera_light_warnings;
};

struct ReadOptions {
  // Keep each mesh's smoothing groups (chunk 0x4150: one 32-bit mask per
  // face).  Without it the chunk is skipped like any unknown chunk.
  bool smoothing_groups = false;
  // Keep every face's corners in the order the file stores them.  By
  // default a face whose flag word is 7 has its last two corners exchanged
  // as it is read, which the C entry and stored BMF files rely on; but 7 is
  // the usual value for "all three edges visible" (82% of the faces of the
  // real models we tried), and meshes that enclose their volume with
  // outward faces as stored (83% of them) mostly come out inside out (58%
  // outward after the exchange).
  bool keep_file_winding = false;
  // Read the keyframer's nodes (chunk 0xB000) into H3dsScene::nodes.
  // A damaged keyframer is left out with a warning and never fails the read;
  // the meshes are the same with or without it.
  bool keyframer = false;
  // With `keyframer`: every key of the nodes' tracks and the keyframer's
  // frame range (H3dsScene::animation).  Keys out of order or not finite
  // are dropped with a warning.
  bool animation = false;
  // Read the cameras (0x4700) and lights (0x4600) of the object blocks into
  // H3dsScene::cameras and lights.  Without it they are skipped like any
  // unknown chunk; a damaged one is left out with a warning
  // (H3dsScene::camera_light_warnings) and never fails the read.
  bool cameras_and_lights = false;
  // The most threads that decode the meshes' lists while the chunks are
  // walked (0: the machine's cores); a small file takes one.  The scene, and
  // which fault a damaged file reports, are the same for any number.
  std::size_t threads = 0;
  // How the stored names that messages quote (a damaged mesh's) read as
  // text: none, valid UTF-8 as it is and anything else as Windows-1252.
  NameDecoder names = {};
};

// Reads a scene from the bytes of a 3DS file.  Throws ReadError (an Error of
// kind damaged_file, with the chunk and the byte offset) for a file that is
// damaged, truncated or not a 3DS file, std::bad_alloc when memory runs out.
TORVIK_API H3dsScene HRead3dsScene(std::span<const byte> bytes, const ReadOptions& options = {});

// How far a stream of a 3DS file is read: to the end its main chunk
// declares, or to the first 6 bytes when they are not the main chunk's
// header.  What a damaged file's chunks hold past the main chunk's end is
// then not read from a stream, as it is from a regular file.
TORVIK_API StreamContent ThreeDsStreamContent();

// Reads a scene from a file: ReadFileBytes (a stream as far as
// ThreeDsStreamContent says) followed by HRead3dsScene.
TORVIK_API H3dsScene ReadSceneFile(const std::string& path, const ReadOptions& options = {});

struct ConvertOptions {
  // Hard edges where the smoothing groups say so: each triangle corner is
  // smoothed only over the triangles at its vertex whose mask shares a bit
  // with its own (a mask of 0 keeps the face normal), and a vertex whose
  // corners end up with different normals is written once per normal.
  // Meshes without smoothing groups are smoothed as one group.
  bool smoothing_groups = false;
  // When given, another thread (or a signal handler) may raise it to stop the
  // conversion: it is checked between stages, and the conversion then throws
  // Cancelled.
  const std::atomic<bool>* cancel = nullptr;
  // Draw the meshes where the keyframer places them at frame 0 (PlaceScene,
  // then DrawPlacedMeshes): needs the nodes (ReadOptions::keyframer).  A
  // scene without nodes converts as without it.
  bool keyframer = false;
  // With `keyframer`: the most faces, and vertices, it may draw (instances
  // copy their meshes); past it, and past the meshes as stored, the
  // conversion throws PlacementTooLarge.
  std::uint64_t max_placed_faces = kDefaultMaxPlacedFaces;
  // Reverse every mesh whose faces clearly face inward (OrientOutward).
  bool orient_outward = false;
  // The most threads the conversion runs at once; 0 means the machine's
  // cores.  Small models use one thread whatever is allowed, and the result
  // is the same for any number.
  std::size_t threads = 0;
  // How the stored names that messages and keyframer warnings quote read as
  // text (ReadOptions::names).
  NameDecoder names = {};
};

// What a conversion did, for reports.
struct ConversionStats {
  bool default_material_added = false;
  std::size_t degenerate_dropped = 0;
  // With ConvertOptions::keyframer: why part of the keyframer was ignored.
  std::vector<std::string> keyframer_warnings;
  // With ConvertOptions::orient_outward: the meshes reversed.
  std::size_t meshes_reversed = 0;
};

// Whether the mesh's faces clearly face inward: its signed volume about the
// centroid of its vertices (the sum over its faces of the signed tetrahedra
// with the centroid) is below -1/2 of the sum of the tetrahedra's absolute
// volumes.  Flat and ambiguous meshes don't.  Any affine placement of the
// mesh that reverses the corners when it mirrors (as DrawPlacedMeshes and
// glTF viewers do) leaves the answer as it is, but for rounding.
TORVIK_API bool FacesInward(const H3dsMeshObj& mesh);

// Reverses the corners of every mesh that FacesInward.  Returns how many
// meshes were reversed.
TORVIK_API std::size_t OrientOutward(H3dsScene& scene);

// Converts a scene into a finished model: the file's y and z are exchanged,
// every face's winding is reversed, vertices of all meshes are numbered in one
// sequence, and a binding whose material the scene lacks goes to the default
// material.  The scene's vertices are left with y and z exchanged.  Throws
// Error (invalid_model) for a scene that breaks a rule every read scene keeps,
// std::bad_alloc when memory runs out.
TORVIK_API Model convert_to_outgl(H3dsScene& scene, ConversionStats* stats = nullptr,
                                  const ConvertOptions& options = {});
// The same, releasing the scene's meshes as it goes: less memory at peak.
TORVIK_API Model convert_to_outgl(H3dsScene&& scene, ConversionStats* stats = nullptr,
                                  const ConvertOptions& options = {});

}  // namespace torvik
