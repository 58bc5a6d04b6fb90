// The images the exports derive from a material's maps: an opacity map's
// values in a colour texture's alpha, a texture mixed with a colour, a
// height map's normal map.  Integer arithmetic, and doubles with + - * /
// and sqrt only, so every build derives the same pixels.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "decode_image.h"

namespace torvik::images {

// How a map continues past its edges.
enum class EdgeWrap { repeat, mirror, clamp };

// One 8-bit value per pixel, rows from the top.
struct ValueImage {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> values;
};

using Rgb8Colour = std::array<std::uint8_t, 3>;

// A map's value at each pixel: its luminance ((299 R + 587 G + 114 B) /
// 1000, rounded), or its alpha when `from_alpha`; 255 minus that when
// `negative`.
ValueImage MapValues(const DecodedImage& image, bool from_alpha, bool negative);

// The values at another size: each new pixel's centre placed on the old
// image, blended bilinearly from the four nearest, continuing past the
// edges as `wrap_x` and `wrap_y` say.  The same size is a copy.
ValueImage Resampled(const ValueImage& image, std::uint32_t width, std::uint32_t height,
                     EdgeWrap wrap_x, EdgeWrap wrap_y);
// The same for every channel of an image.
DecodedImage Resampled(const DecodedImage& image, std::uint32_t width, std::uint32_t height,
                       EdgeWrap wrap_x, EdgeWrap wrap_y);

// A map shown once is drawn as an image inside a border of what lies beyond
// it, so that a sampler that stretches an image's edges (glTF's
// CLAMP_TO_EDGE) stretches the border.  The border is 1/16 of the image's
// size on every side, the same share both ways, so that the image's own
// square lies at [1/18, 17/18] of the framed one's however it is turned,
// and wide enough that a viewer's smaller mipmaps keep it apart from the
// image.
inline constexpr double kFramedScale = 16.0 / 18, kFramedShift = 1.0 / 18;
// The framed side of an image's side: the side rounded up to a multiple of
// 16, and an eighth of that more.
std::uint64_t FramedSide(std::uint64_t side);
// The image (resampled, its edges stretched, to sides that are multiples of
// 16 where they are not) inside a border of `outside` (its first
// `image.channels` components).
DecodedImage Framed(const DecodedImage& image, std::array<std::uint8_t, 4> outside);

// A mirrored map's tile: the image beside its mirror image, and both
// mirrored above them (v up), twice the image each way; its bottom left
// quarter is the image.
ValueImage MirrorTiled(const ValueImage& image);

// An opacity map's values as alpha: amount v + (1 - amount) 255 base, where
// `amount` is the map's amount in [0, 1] and `base` the material's own
// opacity in [0, 1], rounded.
void ApplyAmount(ValueImage& opacity, double amount, double base);

// The alpha channel of an RGBA image (255 for an RGB one).
ValueImage AlphaOf(const DecodedImage& image);

// The image in RGBA with `alpha` (of its size) as its alpha channel.
DecodedImage WithAlpha(const DecodedImage& colour, const ValueImage& alpha);

// An RGB image of one colour.
DecodedImage Filled(std::uint32_t width, std::uint32_t height, Rgb8Colour colour);

// The image mixed with a colour: `weight` of the image and the rest of the
// colour, channel by channel (alpha kept), rounded.
DecodedImage MixedWithColour(const DecodedImage& image, Rgb8Colour colour, double weight);

// The image's colours inverted (255 - c; alpha kept).
DecodedImage Negated(const DecodedImage& image);

// How an image's alpha is best drawn.
enum class AlphaUse {
  opaque,  // all 255
  mask,    // nearly all below 10 % or above 90 %: a cut-out
  blend,   // partly see-through
};
AlphaUse AlphaUseOf(const ValueImage& alpha);

// The tangent-space normal map (+X right, +Y up the image, +Z out of the
// surface, each component c stored as (c + 1) / 2 of 255, rounded) of a
// height map whose values are heights from 0 to 1.  The slopes are central
// differences, continuing past the edges as `wrap_x` and `wrap_y` say,
// scaled so that the full height over 1/128 of the image's width (or
// height) is a slope of 1, whatever its size in pixels, and then turned by
// `turn` into the frame the normal map is seen in (the faces' u and v where
// the image lies turned or mirrored on them):
//   n = normalise(-tx, -ty, 1),  (tx, ty) = (t0 sx + t1 sy, t2 sx + t3 sy),
//                                sx = (h[x+1] - h[x-1]) W / 256,
//                                sy = (h[y-1] - h[y+1]) H / 256 (rows from the top).
// `turn` is a rotation, perhaps mirrored: the slopes keep their size.
inline constexpr std::array<double, 4> kUnturned{1, 0, 0, 1};
DecodedImage NormalMap(const ValueImage& heights, EdgeWrap wrap_x, EdgeWrap wrap_y,
                       const std::array<double, 4>& turn = kUnturned);

// The normal of a flat surface in a normal map's bytes.
inline constexpr Rgb8Colour kFlatNormal{128, 128, 255};

}  // namespace torvik::images
