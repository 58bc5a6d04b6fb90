// Where a 3DS material's map lies on the faces and how it repeats, as the
// exports (the scene glTF, the previews) draw it.
//
// A map's image is sampled at (u', v') = P(u, v) of the texture coordinates
// (u, v) the mesh stores, in the file's texture space (the image's bottom
// left at (0, 0), v up):
//
//   P(u, v) = k (c + R(-a) S ((u, v) - c) + o),   c = (0.5, 0.5),
//
// S the map's U and V scales (a scale of 0, or not a number, is 1), o its
// offsets (-U offset, V offset), a its rotation (stored in degrees,
// counter-clockwise) in radians, R(t) the counter-clockwise rotation by t,
// and k 2 for a mirrored map, else 1.  This is 3D Studio's rule, as its
// manual says and the general readers (Assimp) have it: a map is scaled and
// turned about its centre and then offset, so a face mapped from 0 to 1 has
// the middle of a tile at its middle, whatever the scale (tiled 10 x 10, its
// edges cut the outer tiles in half; tiled 3 x 3, they meet whole tiles).
// A mirrored map's tile is the image beside its mirror image, twice the
// image each way, so that at tiling 1 a face shows both, and the
// placement applies to that tile.  The tiling flags give the wrap: mirror
// repeats mirrored, no tiling (or decal) shows the image once, anything
// else repeats.  Beyond the one copy of a map shown once the material shows
// what it would without the map (its diffuse colour under texture 1): the
// exports draw the image inside a border of that (map_deriver.h).
#pragma once

#include <array>

#include "torvik32c/3dsload.h"

namespace torvik {

// An affine map of texture coordinates: (u, v) -> (uu u + uv v + u0,
// vu u + vv v + v0).
struct TexturePlacement {
  double uu = 1, uv = 0, u0 = 0;
  double vu = 0, vv = 1, v0 = 0;

  std::array<double, 2> Apply(double u, double v) const {
    return {uu * u + uv * v + u0, vu * u + vv * v + v0};
  }
  bool operator==(const TexturePlacement&) const = default;
};

// A placement as its parts: (u, v) -> R(angle) (su u, sv v) + (tu, tv).
// KHR_texture_transform says placements in these terms.
struct PlacementParts {
  double su = 1, sv = 1;
  double angle = 0, sine = 0, cosine = 1;  // radians, counter-clockwise
  double tu = 0, tv = 0;

  TexturePlacement Affine() const {
    return {cosine * su, -sine * sv, tu, sine * su, cosine * sv, tv};
  }
  // The same placement on an image that holds this one's image scaled by
  // `scale` at (shift_u, shift_v): scale P + shift.
  PlacementParts Within(double scale, double shift_u, double shift_v) const {
    return {su * scale,           sv * scale,          angle, sine, cosine,
            tu * scale + shift_u, tv * scale + shift_v};
  }
  bool operator==(const PlacementParts&) const = default;
};

// P above, as its parts and as an affine map.
PlacementParts MapPlacementParts(const H3dsTextureMap& map);
TexturePlacement MapPlacement(const H3dsTextureMap& map);

// How the slopes of a map's image lie on the faces: a slope (x, y) of the
// image (x to the right, y up) is (m[0] x + m[1] y, m[2] x + m[3] y) along u
// and v.  The placement's rotation and mirroring (the signs of its scales),
// without its scales' sizes: a map tiled more often keeps its slopes.
std::array<double, 4> SlopeTurn(const PlacementParts& parts);

// The same placement as glTF's KHR_texture_transform says it, for the
// texture coordinates of glTF's texture space (v = 0 at the image's top: 1
// minus the file's v): uv' = T(offset) R(rotation) S(scale) uv.
struct GltfTextureTransform {
  std::array<double, 2> offset{0, 0};
  double rotation = 0;
  std::array<double, 2> scale{1, 1};

  bool operator==(const GltfTextureTransform&) const = default;
};
GltfTextureTransform GltfTransformOf(const PlacementParts& parts);
GltfTextureTransform GltfTransformOfMap(const H3dsTextureMap& map);

enum class MapWrap { repeat, mirrored_repeat, clamp_to_edge };

// kMapMirror: mirrored_repeat; else kMapNoTiling or kMapDecal: clamp_to_edge;
// else repeat.
MapWrap MapWrapOf(const H3dsTextureMap& map);

// Whether the map shows its image once (decal or no tiling, not mirrored).
bool ShownOnce(const H3dsTextureMap& map);

// Whether two maps lie alike on the faces: the same placement and wrap.
bool SamePlacement(const H3dsTextureMap& a, const H3dsTextureMap& b);

}  // namespace torvik
