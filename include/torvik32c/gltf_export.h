// glTF 2.0 export of BMF models and of 3DS scenes as authored.
//
// A 3DS scene (WriteSceneGltf, BuildSceneGltf in gltf_document.h): one node
// per keyframer object node (dummies included, and the camera and light
// nodes that objects hang from), named by its instance name or object name,
// with the hierarchy as children and the node's T R S as its translation,
// rotation and scale.  Each 3DS mesh is one mesh, named after it, with one
// primitive per material (32-bit indices only where a mesh's vertices pass
// 65535), shared by every node that draws it; a mesh that no node names is
// a node of its own.  A node draws its mesh at world T(-pivot) M^-1: the
// mesh is stored at T(-pivot) M^-1 of its first node, and an instance
// whose pivot differs draws it through an unnamed child node that applies
// the difference.  The file's own winding (a mirroring frame reverses the
// stored corners; with GltfOptions::orient_outward, a mesh whose faces
// clearly face inward is reversed), normals by smoothing groups (Model::
// OutGLFinishModelBySmoothingGroups), a two-sided material doubleSided with
// each triangle once.  Materials keep their names; baseColorFactor is the
// diffuse colour (bytes / 255, or the floats) from sRGB to linear; the rest
// as below, and what a scene's material holds beyond a BMF's:
//  - each map's file is found for its kind (TextureFinder's MapKind);
//  - texture 1 as baseColorTexture, placed by KHR_texture_transform as
//    material_maps.h says (3D Studio's rule, which the general readers
//    follow: scaled and turned about the tile's centre, then offset, the U
//    offset negated, the rotation in negative radians) and wrapped by the
//    tiling flags (mirror: MIRRORED_REPEAT, the scales doubled, as a
//    mirrored map's tile is the image beside its mirror image; else
//    REPEAT); a map shown once (no tiling or decal) framed in what lies
//    beyond it (the diffuse colour, a flat normal, ...) and sampled
//    CLAMP_TO_EDGE;
//  - texture 1 at an amount a below 100 %: glTF multiplies the factor and
//    the texture, so the image embedded is the mix a texture + (1 - a)
//    diffuse, in bytes (base_colour.h), with a white factor;
//  - the opacity map (where it lies as texture 1 does): its luminance (its
//    alpha with the alpha-source flag; inverted when negative), resampled to
//    texture 1's size, as the alpha of a PNG composed from both images (or
//    of the diffuse colour without texture 1), mixed with the material's
//    opacity by the map's amount; alphaMode MASK when nearly every alpha is
//    below 10 % or above 90 %, else BLEND;
//  - the bump map as normalTexture: a tangent-space normal map derived from
//    its heights (images/map_images.h: n = normalise(-sx, -sy, 1), central
//    differences, the full height over 1/128 of the image a slope of 1),
//    its slopes turned as the map's placement turns and mirrors the image
//    on the faces (a mirrored map's made of its whole mirrored tile), its
//    scale the map's amount, and TANGENT on the primitives that draw it;
//  - each image derived from maps made once per model for what it is made
//    of (map_deriver.h), the budget asked for all it takes before any of
//    its files is decoded;
//  - shininess g (0xA040, in [0, 1]) as roughness (2 / (n + 2))^(1/4), n =
//    2^(10 g) the Phong exponent it stands for (a GGX lobe of that width):
//    0 % is 0.90, 50 % 0.49, 100 % 0.21; without the chunk, 1 - s / 2 as
//    above;
//  - shininess strength k (0xA041) and the specular map as
//    KHR_materials_specular: specularFactor k when k < 1, the linear
//    specular colour times max(k, 1) as specularColorFactor, the specular
//    map as specularColorTexture; a material with neither has no extension;
//  - self-illumination e (0xA084, or 100 % for the flag 0xA080 alone) as
//    emissiveFactor e x the base colour (white, with baseColorTexture as
//    emissiveTexture, when textured); a self-illumination map is the
//    emissiveTexture, its amount the factor;
//  - texture 2, the shininess and reflection maps have no place in glTF
//    and are left out (--list and --json name them).
// A plain material (none of these) is written as before.
//
// A BMF model becomes one mesh on one node; each block with triangles becomes
// one primitive of it (POSITION, NORMAL, 16-bit indices, and TEXCOORD_0 when
// the block names a texture) with a material of its own; triangles with an
// index outside their block are left out.  Positions, normals and windings
// are those of the model as authored (export_conventions.h): a 3DS file's
// (x, y, z) is (x, z, -y) here, bit for bit.  Normals are scaled to unit
// length, as glTF requires; a zero normal (such as two-sided faces leave)
// takes the normal of the first triangle that uses the vertex.  Texture
// coordinates have v flipped to glTF's top-left origin.
//
// Materials: pbrMetallicRoughness with metallic 0; baseColorFactor the
// diffuse colour (white when a texture is embedded, since a 3DS texture map
// takes the place of the diffuse colour rather than tinting it) with the
// opacity of OpacityOf as alpha (a scene's: OpacityOfTransparency of the
// stored transparency, so 100 % transparent is alpha 0), and alphaMode
// BLEND when that is below 1;
// roughness 1 - s / 2, where s is the mean of the specular colour's
// components in [0, 1]: a material without highlights is fully rough, a
// white specular colour gives 0.5.  Colours are clamped to [0, 1].
//
// Textures: `find_texture` tells where the file of a stored texture name
// is, and `read_texture` (or the file system) gives its bytes.  Each file
// found is decoded once and embedded once, sampled with REPEAT wrapping: a
// PNG or JPEG that viewers read as it is (well-formed chunks; 8-bit, 1 or 3
// components) as it is, any other image that decodes (TGA, BMP, GIF, a PNG
// with a damaged ancillary chunk) encoded again as PNG.  A texture that is
// not found, that does not decode (a CMYK, YCCK or two-component JPEG where
// the decoder refuses it, a PNG with a bad chunk) or that would pass the
// budget leaves its block or material untextured with a warning.
//
// Names (of nodes, meshes, materials and images) are written as UTF-8 text:
// a stored name that is valid UTF-8 as it is, any other decoded as
// GltfOptions::names says (Windows-1252 by default).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/keyframer.h"
#include "torvik32c/map_kind.h"
#include "torvik32c/name_text.h"

namespace torvik {

// Where the file of a stored map name is, if anywhere: a block's texture
// (MapKind::texture), or a scene material's map of that kind.
using TextureFinder = std::function<std::optional<std::filesystem::path>(
    const std::string& stored_name, MapKind kind)>;

// The bytes of a texture file that a TextureFinder gave.  Throws
// std::runtime_error saying why when it can't be read.
using TextureReader = std::function<std::vector<std::uint8_t>(const std::filesystem::path& file)>;

struct GltfOptions {
  TextureFinder find_texture;  // none: no block is textured
  // Warn of a texture that is not found (a caller that has warned of it
  // already leaves this out).
  bool report_missing = true;
  // How the files found are read; none: from the file system.  A caller
  // without one (a browser) passes its own.
  TextureReader read_texture = {};
  // What the images of one model may take together (512 MiB): each image's
  // decoded pixels, counted from its header before it is decoded, and its
  // embedded bytes where they are more; a texture past it leaves its block
  // untextured, with a warning.
  std::uint64_t texture_budget = std::uint64_t{512} << 20;
  // The scene export only: the animation's frames per second (frame f is at
  // f / frames_per_second seconds) and its name ("Animation" when empty).
  double frames_per_second = 30;
  std::string animation_name = {};
  // The scene export only: reverse the faces of every mesh that FacesInward
  // (3dsload.h), judged on the mesh as stored, which gives the same answer
  // as in any placement of it (see above); a BMF model is exported as it is.
  bool orient_outward = false;
  // How stored names (of nodes, meshes, materials and textures) read as
  // text, in the document and in warnings; none: valid UTF-8 as it is,
  // anything else as Windows-1252.
  NameDecoder names = {};
  // The scene export only: the most threads that make its meshes' arrays
  // at once (0: the machine's cores); the bytes are the same for any number.
  std::size_t threads = 0;
  // The scene export only: asked between meshes and every few thousand
  // matrices of the animation; once it returns true the export stops with
  // torvik::Cancelled (errors.h) and nothing is written.  It may throw
  // instead (a binding raising its own language's interruption).
  std::function<bool()> cancelled = {};
};

// The files WriteGltf writes for `path`: `path` itself, and for a name
// ending in ".gltf" (in any case) the ".bin" beside it.
std::vector<std::string> GltfFiles(const std::string& path);

// Whether this build can write glTF (it needs nlohmann-json's headers).
bool GltfAvailable();

// Writes the model to `path`: a self-contained binary glTF (.glb), or, when
// `path` ends in ".gltf", the JSON with its binary data in a file beside it
// whose name ends in ".bin" instead.  Returns the warnings, one sentence
// each.  Throws std::runtime_error saying why when a file can't be written;
// no partial file is left behind then.
std::vector<std::string> WriteGltf(const BmfFile& file, const std::string& path,
                                   const GltfOptions& options = {});

// How a scene for the scene export is read: smoothing groups and the
// keyframer's nodes kept, the file's own winding.
ReadOptions SceneGltfReadOptions(std::size_t threads = 0);

// Writes the scene as `placement` (normally PlaceScene(scene))
// places it to `path`, as WriteGltf does.  The placement's warnings are the
// caller's to report.
std::vector<std::string> WriteSceneGltf(const H3dsScene& scene, const ScenePlacement& placement,
                                        const std::string& path, const GltfOptions& options = {});

}  // namespace torvik
