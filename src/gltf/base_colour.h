// What a 3DS material's base colour is in the exports (the scene glTF, the
// previews), which draw it alike: its diffuse colour; texture 1 as it is;
// or an image made from texture 1 and the opacity map.
//
// Texture 1 is drawn when its file is found and its amount is above 0; an
// amount below 1 mixes it with the diffuse colour (amount x texture + (1 -
// amount) x colour, in the colours' bytes), as 3D Studio mixes them.  The
// opacity map is drawn when its file is found and it lies as texture 1 does
// (SamePlacement), or without texture 1: its values (luminance, or the
// image's alpha with kMapAlphaSource; inverted with kMapNegative) become the
// alpha of texture 1's image (or of the diffuse colour at the map's size),
// resampled to that image's size, and mixed with the material's own opacity
// by the map's amount.  A negative texture 1 (kMapNegative) is drawn with its
// colours inverted.  A base colour whose map is shown once (decal or no
// tiling) is drawn inside a border of the diffuse colour, with the
// material's own opacity, which a sampler that clamps stretches beyond it
// (images::Framed).
#pragma once

#include "images/map_images.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/material_maps.h"

namespace torvik {

struct BaseColourPlan {
  bool texture = false;            // texture 1 is drawn
  bool opacity = false;            // the opacity map is drawn
  bool opacity_misplaced = false;  // the opacity map was found but lies otherwise: left out
  bool mixed = false;              // texture 1's amount is below 1
  bool negative = false;           // texture 1's colours are inverted
  bool framed = false;             // the map is shown once: its image is framed
  // Whose placement and wrap the base colour's image takes.
  MapKind placement = MapKind::texture;

  // A new image is made rather than texture 1 drawn as it is.
  bool Derived() const { return opacity || (texture && (mixed || negative)) || framed; }
};

// `texture_found` and `opacity_found`: the files of texture 1 and of the
// opacity map were found.
BaseColourPlan PlanBaseColour(const H3dsMat& mat, bool texture_found, bool opacity_found);

// The diffuse colour in bytes: those stored, or a float colour's components
// x 255 rounded (clamped to [0, 1] first).
images::Rgb8Colour DiffuseBytes(const H3dsMat& mat);

// The wrap of a map as the image operations say it.
images::EdgeWrap EdgeWrapOf(MapWrap wrap);

struct DerivedBaseColour {
  images::DecodedImage image;  // RGBA where the opacity map is drawn, else as texture 1's
  images::AlphaUse alpha = images::AlphaUse::opaque;
};

// What a DerivedBaseColour of the plan takes at most, in bytes, for
// images of these sizes (texture 1's where the plan draws it, else the
// opacity map's): the budget is asked for it before anything is decoded.
std::uint64_t DerivedBaseColourBytes(const BaseColourPlan& plan, std::uint64_t width,
                                     std::uint64_t height);

// The image of a plan that Derived(): `texture` and `opacity` are the decoded
// images of texture 1 and the opacity map where the plan draws them (null
// otherwise); `material_opacity` the material's own opacity in [0, 1].
DerivedBaseColour DeriveBaseColour(const H3dsMat& mat, const BaseColourPlan& plan,
                                   const images::DecodedImage* texture,
                                   const images::DecodedImage* opacity, float material_opacity);

}  // namespace torvik
