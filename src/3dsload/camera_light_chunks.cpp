// Cameras and lights: where they stand, where they look, their lens, colour,
// strength, cones and ranges.
#include "camera_light_chunks.h"

#include <cmath>

#include "chunk_body.h"

namespace torvik {

namespace {

constexpr uword kColorFloat = 0x0010;
constexpr uword kColor24 = 0x0011;
constexpr uword kSpotlight = 0x4610;
constexpr uword kLightOff = 0x4620;
constexpr uword kAttenuated = 0x4625;
constexpr uword kSpotRoll = 0x4656;
constexpr uword kInnerRange = 0x4659;
constexpr uword kOuterRange = 0x465A;
constexpr uword kMultiplier = 0x465B;

H3dsCamera ReadCamera(ChunkBody& body, const std::string& name) {
  H3dsCamera camera;
  camera.name = name;
  body.vec3(camera.position);
  body.vec3(camera.target);
  camera.roll = body.f32();
  camera.lens = body.f32();
  return camera;  // the sub-chunks (cone, ranges) are not used
}

void ReadSpotlight(ChunkBody& body, H3dsLight& light) {
  light.spot = true;
  body.vec3(light.target);
  light.hotspot = body.f32();
  light.falloff = body.f32();
  while (body.more()) {
    uword id = 0;
    ChunkBody chunk = body.sub(id, "spotlight chunk");
    if (id == kSpotRoll) light.roll = chunk.f32();
  }
}

H3dsLight ReadLight(ChunkBody& body, const std::string& name) {
  H3dsLight light;
  light.name = name;
  body.vec3(light.position);
  // Of several colour chunks the later one decides.
  while (body.more()) {
    uword id = 0;
    ChunkBody chunk = body.sub(id, "light chunk");
    switch (id) {
      case kColorFloat:
        chunk.vec3(light.color);
        break;
      case kColor24: {
        const byte* rgb = chunk.take(3);
        for (int i = 0; i < 3; ++i) light.color[i] = static_cast<float32>(rgb[i] / 255.0);
        break;
      }
      case kSpotlight:
        ReadSpotlight(chunk, light);
        break;
      case kLightOff:
        light.off = true;
        break;
      case kAttenuated:
        light.attenuated = true;
        break;
      case kInnerRange:
        light.inner_range = chunk.f32();
        break;
      case kOuterRange:
        light.outer_range = chunk.f32();
        break;
      case kMultiplier:
        light.multiplier = chunk.f32();
        break;
      default:
        break;
    }
  }
  return light;
}

}  // namespace

void ReadCameraOrLight(std::span<const byte> file, uword chunk_id, std::size_t start,
                       const std::string& name, H3dsScene& scene, const NameDecoder& names) {
  const char* what = chunk_id == kCameraChunk ? "camera" : "light";
  try {
    ChunkBody outer(file, start, file.size(), what);
    uword id = 0;
    ChunkBody body = outer.sub(id, what);
    if (chunk_id == kCameraChunk)
      scene.cameras.push_back(ReadCamera(body, name));
    else
      scene.lights.push_back(ReadLight(body, name));
  } catch (const ChunkBodyFault& fault) {
    scene.camera_light_warnings.push_back(std::string(what) + " '" + ShownName(name, names) +
                                          "' is left out: " + fault.what());
  }
}

double LensFieldOfView(float32 lens) {
  constexpr double kDegreesTimesMillimetres = 2400;
  constexpr double kStandardLens = 50;
  const double millimetres = std::isfinite(lens) && lens > 0 ? lens : kStandardLens;
  return kDegreesTimesMillimetres / millimetres;
}

}  // namespace torvik
