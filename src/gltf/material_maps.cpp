#include "torvik32c/material_maps.h"

#include <cmath>
#include <numbers>

#include "base/portable_math.h"

namespace torvik {

namespace {

double Scale(float stored) { return std::isfinite(stored) && stored != 0 ? stored : 1.0; }
double Finite(float stored) { return std::isfinite(stored) ? stored : 0.0; }

}  // namespace

PlacementParts MapPlacementParts(const H3dsTextureMap& map) {
  // A mirrored map's tile is twice the image each way.
  const double k = (map.tiling & kMapMirror) != 0 ? 2 : 1;
  PlacementParts parts{k * Scale(map.u_scale), k * Scale(map.v_scale), 0, 0, 1, 0, 0};
  const double degrees = Finite(map.rotation);
  if (degrees != 0) {
    parts.angle = -(degrees / 180) * std::numbers::pi;
    parts.sine = Sin(parts.angle);
    parts.cosine = Cos(parts.angle);
  }
  // P(p) = A p + t with A = k R S: t = k (c + o) - A c.
  const double au = (parts.cosine * parts.su - parts.sine * parts.sv) / 2;
  const double av = (parts.sine * parts.su + parts.cosine * parts.sv) / 2;
  parts.tu = k * (0.5 - Finite(map.u_offset)) - au;
  parts.tv = k * (0.5 + Finite(map.v_offset)) - av;
  return parts;
}

TexturePlacement MapPlacement(const H3dsTextureMap& map) { return MapPlacementParts(map).Affine(); }

std::array<double, 4> SlopeTurn(const PlacementParts& p) {
  // The slopes along u and v are A^T times the image's, A = R(angle) S:
  // S R(-angle), with the signs of S alone.
  const double u_sign = p.su < 0 ? -1 : 1, v_sign = p.sv < 0 ? -1 : 1;
  return {u_sign * p.cosine, u_sign * p.sine, -v_sign * p.sine, v_sign * p.cosine};
}

GltfTextureTransform GltfTransformOf(const PlacementParts& p) {
  // glTF's texture space is the file's with v turned over (F(u, v) = (u,
  // 1 - v)): its transform is F P F, which has the same scales and angle,
  // and the offset F(A (0, 1) + t).
  return {{-p.sine * p.sv + p.tu, 1 - (p.cosine * p.sv + p.tv)}, p.angle, {p.su, p.sv}};
}

GltfTextureTransform GltfTransformOfMap(const H3dsTextureMap& map) {
  return GltfTransformOf(MapPlacementParts(map));
}

bool ShownOnce(const H3dsTextureMap& map) { return MapWrapOf(map) == MapWrap::clamp_to_edge; }

MapWrap MapWrapOf(const H3dsTextureMap& map) {
  if ((map.tiling & kMapMirror) != 0) return MapWrap::mirrored_repeat;
  if ((map.tiling & (kMapNoTiling | kMapDecal)) != 0) return MapWrap::clamp_to_edge;
  return MapWrap::repeat;
}

bool SamePlacement(const H3dsTextureMap& a, const H3dsTextureMap& b) {
  return MapPlacement(a) == MapPlacement(b) && MapWrapOf(a) == MapWrapOf(b);
}

}  // namespace torvik
