// Where a 3DS material's map lies on the faces and how it repeats, as the
// exports (the scene glTF, the previews) draw it.
//
// A map's image is sampled at (u', v') = P(u, v) of the texture coordinates
// (u, v) the mesh stores, in the file's texture space (the image's bottom
// left at (0, 0), v up):
//
//   P(u, v) = c + R(-a) (S (u, v) + o - c),   c = (0.5, 0.5),
//
// S the map's U and V scales (a scale of 0, or not a number, is 1), o its
// offsets (-U offset, V offset), a its rotation (stored in degrees,
// counter-clockwise) in radians, R(t) the counter-clockwise rotation by t.
// This is the general readers' convention (Assimp's: scales as stored, the
// U offset negated, the rotation as negative radians, turning about the
// image's centre): a map scaled 10 x 10 shows ten whole tiles from the
// faces' texture-coordinate origin, so tiles line up with the edges of a
// face mapped from 0 to 1.  The tiling flags give the wrap: mirror repeats
// mirrored, no tiling (or decal) shows the image once and stretches its
// edges beyond it, anything else repeats.
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

// P above.
TexturePlacement MapPlacement(const H3dsTextureMap& map);

// The same placement as glTF's KHR_texture_transform says it, for the
// texture coordinates of glTF's texture space (v = 0 at the image's top: 1
// minus the file's v): uv' = T(offset) R(rotation) S(scale) uv.
struct GltfTextureTransform {
  std::array<double, 2> offset{0, 0};
  double rotation = 0;
  std::array<double, 2> scale{1, 1};

  bool operator==(const GltfTextureTransform&) const = default;
};
GltfTextureTransform GltfTransformOfMap(const H3dsTextureMap& map);

enum class MapWrap { repeat, mirrored_repeat, clamp_to_edge };

// kMapMirror: mirrored_repeat; else kMapNoTiling or kMapDecal: clamp_to_edge;
// else repeat.
MapWrap MapWrapOf(const H3dsTextureMap& map);

// Whether two maps lie alike on the faces: the same placement and wrap.
bool SamePlacement(const H3dsTextureMap& a, const H3dsTextureMap& b);

}  // namespace torvik
