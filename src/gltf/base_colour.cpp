#include "base_colour.h"

#include <cmath>

namespace torvik {

namespace {

std::uint8_t ByteOf(float component, bool from_bytes) {
  // A byte colour is stored as byte / 256.
  const double scaled = from_bytes ? static_cast<double>(component) * 256
                                   : std::fmin(std::fmax(component, 0.0f), 1.0f) * 255.0;
  if (!(scaled > 0)) return 0;
  return static_cast<std::uint8_t>(std::fmin(std::floor(scaled + 0.5), 255.0));
}

}  // namespace

BaseColourPlan PlanBaseColour(const H3dsMat& mat, bool texture_found, bool opacity_found) {
  const H3dsTextureMap& texture = mat.Map(MapKind::texture);
  const H3dsTextureMap& opacity = mat.Map(MapKind::opacity);
  BaseColourPlan plan;
  plan.texture = texture_found && texture.Used() && texture.percent > 0;
  plan.mixed = plan.texture && texture.percent < 1;
  plan.negative = plan.texture && (texture.tiling & kMapNegative) != 0;
  if (opacity_found && opacity.Used()) {
    if (!plan.texture || SamePlacement(texture, opacity))
      plan.opacity = true;
    else
      plan.opacity_misplaced = true;
  }
  plan.placement = plan.texture ? MapKind::texture : MapKind::opacity;
  plan.framed = (plan.texture || plan.opacity) && ShownOnce(mat.Map(plan.placement));
  return plan;
}

images::Rgb8Colour DiffuseBytes(const H3dsMat& mat) {
  const H3dsRGBColor& c = mat.diffuse;
  return {ByteOf(c.red, c.from_bytes), ByteOf(c.green, c.from_bytes), ByteOf(c.blue, c.from_bytes)};
}

images::EdgeWrap EdgeWrapOf(MapWrap wrap) {
  switch (wrap) {
    case MapWrap::mirrored_repeat:
      return images::EdgeWrap::mirror;
    case MapWrap::clamp_to_edge:
      return images::EdgeWrap::clamp;
    case MapWrap::repeat:
      break;
  }
  return images::EdgeWrap::repeat;
}

DerivedBaseColour DeriveBaseColour(const H3dsMat& mat, const BaseColourPlan& plan,
                                   const images::DecodedImage* texture,
                                   const images::DecodedImage* opacity, float material_opacity) {
  const images::Rgb8Colour diffuse = DiffuseBytes(mat);
  DerivedBaseColour result;
  if (plan.texture && texture != nullptr) {
    result.image = plan.negative ? images::Negated(*texture) : *texture;
    const double amount = mat.Map(MapKind::texture).percent;
    if (plan.mixed) result.image = images::MixedWithColour(result.image, diffuse, amount);
  } else if (opacity != nullptr) {
    result.image = images::Filled(opacity->width, opacity->height, diffuse);
  }
  const bool opacity_drawn = plan.opacity && opacity != nullptr;
  if (opacity_drawn) {
    const H3dsTextureMap& map = mat.Map(MapKind::opacity);
    images::ValueImage alpha = images::MapValues(*opacity, (map.tiling & kMapAlphaSource) != 0,
                                                 (map.tiling & kMapNegative) != 0);
    const images::EdgeWrap wrap = EdgeWrapOf(MapWrapOf(mat.Map(plan.placement)));
    alpha = images::Resampled(alpha, result.image.width, result.image.height, wrap, wrap);
    images::ApplyAmount(alpha, map.percent, material_opacity);
    result.alpha = images::AlphaUseOf(alpha);
    if (result.alpha != images::AlphaUse::opaque || plan.framed)
      result.image = images::WithAlpha(result.image, alpha);
  }
  if (!plan.framed || result.image.pixels.empty()) return result;
  // Beyond the one copy: the diffuse colour, and the material's own opacity
  // where the image holds it.
  const double outside_alpha =
      opacity_drawn ? 255 * std::fmin(std::fmax(material_opacity, 0.0f), 1.0f) : 255;
  result.image =
      images::Framed(result.image, {diffuse[0], diffuse[1], diffuse[2],
                                    static_cast<std::uint8_t>(std::floor(outside_alpha + 0.5))});
  if (opacity_drawn) result.alpha = images::AlphaUseOf(images::AlphaOf(result.image));
  return result;
}

std::uint64_t DerivedBaseColourBytes(const BaseColourPlan& plan, std::uint64_t width,
                                     std::uint64_t height) {
  // Texture 1 is decoded with its alpha, and so is the composed image.
  if (plan.framed) return images::FramedSide(width) * images::FramedSide(height) * 4;
  return width * height * 4;
}

}  // namespace torvik
