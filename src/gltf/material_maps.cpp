#include "torvik32c/material_maps.h"

#include <cmath>
#include <numbers>

#include "base/portable_math.h"

namespace torvik {

namespace {

double Scale(float stored) { return std::isfinite(stored) && stored != 0 ? stored : 1.0; }
double Finite(float stored) { return std::isfinite(stored) ? stored : 0.0; }

// The placement's parts: P(p) = A p + t, A = R(angle) S.
struct Parts {
  double su, sv, angle, sine, cosine, tu, tv;
};

Parts PartsOf(const H3dsTextureMap& map) {
  Parts parts{Scale(map.u_scale), Scale(map.v_scale), 0, 0, 1, 0, 0};
  const double degrees = Finite(map.rotation);
  if (degrees != 0) {
    parts.angle = -(degrees / 180) * std::numbers::pi;
    parts.sine = Sin(parts.angle);
    parts.cosine = Cos(parts.angle);
  }
  // t = R (o - c) + c
  const double ou = -Finite(map.u_offset) - 0.5, ov = Finite(map.v_offset) - 0.5;
  parts.tu = parts.cosine * ou - parts.sine * ov + 0.5;
  parts.tv = parts.sine * ou + parts.cosine * ov + 0.5;
  return parts;
}

}  // namespace

TexturePlacement MapPlacement(const H3dsTextureMap& map) {
  const Parts p = PartsOf(map);
  return {p.cosine * p.su, -p.sine * p.sv, p.tu, p.sine * p.su, p.cosine * p.sv, p.tv};
}

GltfTextureTransform GltfTransformOfMap(const H3dsTextureMap& map) {
  // glTF's texture space is the file's with v turned over (F(u, v) = (u,
  // 1 - v)): its transform is F P F, which has the same scales and angle,
  // and the offset F(A (0, 1) + t).
  const Parts p = PartsOf(map);
  return {{-p.sine * p.sv + p.tu, 1 - (p.cosine * p.sv + p.tv)}, p.angle, {p.su, p.sv}};
}

MapWrap MapWrapOf(const H3dsTextureMap& map) {
  if ((map.tiling & kMapMirror) != 0) return MapWrap::mirrored_repeat;
  if ((map.tiling & (kMapNoTiling | kMapDecal)) != 0) return MapWrap::clamp_to_edge;
  return MapWrap::repeat;
}

bool SamePlacement(const H3dsTextureMap& a, const H3dsTextureMap& b) {
  return MapPlacement(a) == MapPlacement(b) && MapWrapOf(a) == MapWrapOf(b);
}

}  // namespace torvik
