#include "scene_cameras_lights.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "base/portable_math.h"
#include "torvik32c/keyframer_tracks.h"

namespace torvik::gltf_build {

namespace {

constexpr uword kCameraNode = 0xB003;
constexpr uword kLightNode = 0xB005;
constexpr uword kSpotlightNode = 0xB007;
constexpr double kPi = 3.14159265358979323846;
// The frame a camera's field of view is taken for: 4:3.
constexpr double kAspectRatio = 4.0 / 3.0;
// The widest field of view written, in degrees.
constexpr double kWidestView = 179;

double Radians(double degrees) { return degrees * kPi / 180; }

// The first placement node of each kind and name.
int FirstCarrier(const std::unordered_map<std::string, int>& by_name, const std::string& name) {
  const auto found = by_name.find(name);
  return found == by_name.end() ? -1 : found->second;
}

// The tracks of a carrier's node, or none.
const NodeTracks* TracksOf(const H3dsScene& scene, const ScenePlacement& placement, int carrier) {
  if (carrier < 0) return nullptr;
  const std::size_t stored = placement.nodes[static_cast<std::size_t>(carrier)].node;
  return stored < scene.animation.tracks.size() ? &scene.animation.tracks[stored] : nullptr;
}

// Whether the track's keys hold more than one value.
template <std::size_t N>
bool Changes(const Track<N>& track) {
  return std::any_of(track.keys.begin(), track.keys.end(),
                     [&](const TrackKey<N>& key) { return key.value != track.keys.front().value; });
}

// The horizontal field of view of the camera, in degrees, and whether its
// keys change it.
std::pair<double, bool> FieldOfView(const NodeTracks* tracks, const H3dsCamera& camera) {
  if (tracks != nullptr && !tracks->fov.keys.empty() && tracks->fov.keys.front().value[0] > 0)
    return {tracks->fov.keys.front().value[0], Changes(tracks->fov)};
  return {LensFieldOfView(camera.lens), false};
}

// The light as its node's first colour, hotspot and falloff keys make it
// (glTF's lights have no animation of these): the parts that its keys
// change are named in `changing`.
H3dsLight AsFirstKeysMakeIt(H3dsLight light, const NodeTracks* tracks,
                            std::vector<const char*>& changing) {
  if (tracks == nullptr) return light;
  if (!tracks->color.keys.empty()) {
    const std::array<float32, 3>& first = tracks->color.keys.front().value;
    std::copy(first.begin(), first.end(), light.color);
    if (Changes(tracks->color)) changing.push_back("colour");
  }
  if (!light.spot) return light;
  for (const auto& [track, value, name] :
       {std::tuple{&tracks->hotspot, &light.hotspot, "hotspot"},
        std::tuple{&tracks->falloff, &light.falloff, "falloff"}}) {
    if (track->keys.empty()) continue;
    *value = track->keys.front().value[0];
    if (Changes(*track)) changing.push_back(name);
  }
  return light;
}

Json CameraJson(GltfBuilder& builder, double horizontal, double diagonal, const std::string& name) {
  const double half = Radians(std::clamp(horizontal, 1e-3, kWidestView)) / 2;
  const double yfov = 2 * Atan(Sin(half) / Cos(half) / kAspectRatio);
  const double znear = diagonal > 0 ? diagonal / 1000 : 0.001;
  return {{"name", builder.NameOf(name)},
          {"type", "perspective"},
          {"perspective",
           {{"aspectRatio", Factor(static_cast<float>(kAspectRatio))},
            {"yfov", Factor(static_cast<float>(yfov))},
            {"znear", Factor(static_cast<float>(znear))}}}};
}

double Distance(const std::array<double, 3>& a, const std::array<double, 3>& b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                   (a[2] - b[2]) * (a[2] - b[2]));
}

Json LightJson(GltfBuilder& builder, const H3dsLight& light, const std::array<double, 3>& at,
               const ModelBounds& bounds) {
  Json color = Json::array();
  for (const float c : light.color)
    color.push_back(Factor(static_cast<float>(SrgbToLinear(Clamped(c)))));
  double distance = Distance(at, bounds.centre);
  if (!(distance > 0) || !std::isfinite(distance)) distance = bounds.diagonal / 2;
  if (!(distance > 0)) distance = 1;
  const double multiplier = std::isfinite(light.multiplier) ? light.multiplier : 1.0;
  const double intensity = light.off ? 0.0 : std::max(0.0, kPi * multiplier * distance * distance);
  Json json = {
      {"name", builder.NameOf(light.name)},
      {"type", light.spot ? "spot" : "point"},
      {"color", std::move(color)},
      {"intensity",
       Factor(static_cast<float>(std::min<double>(intensity, std::numeric_limits<float>::max())))}};
  if (light.attenuated && light.outer_range > 0 && std::isfinite(light.outer_range))
    json["range"] = Factor(light.outer_range);
  if (light.spot) {
    const auto cone = [](float degrees) {
      return std::isfinite(degrees) ? std::clamp(Radians(degrees) / 2, 0.0, kPi / 2) : kPi / 4;
    };
    // glTF wants 0 <= inner < outer <= pi / 2: the float nearest pi / 2 is
    // above it, so the widest outer cone is the float below.
    float widest = static_cast<float>(kPi / 2);
    if (static_cast<double>(widest) > kPi / 2) widest = std::nextafter(widest, 0.0f);
    const float outer = std::clamp(static_cast<float>(cone(light.falloff)), 1e-3f, widest);
    float inner = static_cast<float>(cone(light.hotspot));
    if (!(inner < outer)) inner = std::nextafter(outer, 0.0f);
    json["spot"] = {{"innerConeAngle", Factor(inner)}, {"outerConeAngle", Factor(outer)}};
  }
  return json;
}

std::array<double, 3> PositionOf(const float32 (&p)[3]) { return {p[0], p[1], p[2]}; }

std::array<double, 3> TranslationOf(const Affine& world) { return {world[3], world[7], world[11]}; }

}  // namespace

Carriers CarriersOf(const H3dsScene& scene, const ScenePlacement& placement) {
  std::unordered_map<std::string, int> cameras, lights, spots;
  for (std::size_t i = placement.nodes.size(); i-- > 0;) {
    const std::size_t stored = placement.nodes[i].node;
    if (stored >= scene.nodes.size()) continue;
    const H3dsNode& node = scene.nodes[stored];
    auto* by_name = node.kind == kCameraNode      ? &cameras
                    : node.kind == kLightNode     ? &lights
                    : node.kind == kSpotlightNode ? &spots
                                                  : nullptr;
    // From the last node back, so that the first of each name stays.
    if (by_name != nullptr) (*by_name)[node.name] = static_cast<int>(i);
  }
  Carriers carriers;
  carriers.carrying.assign(placement.nodes.size(), false);
  const auto carry = [&](int node) {
    if (node >= 0) carriers.carrying[static_cast<std::size_t>(node)] = true;
    return node;
  };
  for (const H3dsCamera& camera : scene.cameras)
    carriers.cameras.push_back(carry(FirstCarrier(cameras, camera.name)));
  for (const H3dsLight& light : scene.lights)
    carriers.lights.push_back(carry(FirstCarrier(light.spot ? spots : lights, light.name)));
  return carriers;
}

ModelBounds BoundsOf(const H3dsScene& scene, const ScenePlacement& placement) {
  // Each mesh's box of its stored vertices (those finite).
  using Box = std::array<double, 6>;  // low, then high
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<Box> boxes(scene.meshobjlist.size(), Box{inf, inf, inf, -inf, -inf, -inf});
  Box all = boxes.empty() ? Box{} : boxes.front();
  bool any = false;
  for (std::size_t m = 0; m < scene.meshobjlist.size(); ++m)
    for (const H3dsVert& v : scene.meshobjlist[m].vertlist) {
      if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) continue;
      const double p[3] = {v.x, v.y, v.z};
      for (int i = 0; i < 3; ++i) {
        boxes[m][i] = std::min(boxes[m][i], p[i]),
        boxes[m][i + 3] = std::max(boxes[m][i + 3], p[i]);
        all[i] = std::min(all[i], p[i]), all[i + 3] = std::max(all[i + 3], p[i]);
      }
      any = true;
    }
  ModelBounds bounds;
  if (!any) return bounds;
  bounds.diagonal = Distance({all[0], all[1], all[2]}, {all[3], all[4], all[5]});
  // The placed model: each mesh's box where each node draws it (the box of
  // its corners), and the meshes that no node names as stored.
  Box placed = {inf, inf, inf, -inf, -inf, -inf};
  const auto add = [&](const Box& box, const Affine& m) {
    if (!(box[0] <= box[3])) return;  // no finite vertex
    for (int corner = 0; corner < 8; ++corner) {
      const double p[3] = {box[(corner & 1) ? 3 : 0], box[(corner & 2) ? 4 : 1],
                           box[(corner & 4) ? 5 : 2]};
      double q[3];
      Apply(m, p, q);
      for (int i = 0; i < 3; ++i)
        placed[i] = std::min(placed[i], q[i]), placed[i + 3] = std::max(placed[i + 3], q[i]);
    }
  };
  for (const NodePlacement& node : placement.nodes)
    if (node.mesh >= 0 && static_cast<std::size_t>(node.mesh) < boxes.size())
      add(boxes[static_cast<std::size_t>(node.mesh)], node.mesh_placement);
  for (const std::size_t m : placement.unplaced_meshes)
    if (m < boxes.size()) add(boxes[m], IdentityAffine());
  for (int i = 0; i < 3; ++i) bounds.centre[i] = (placed[i] + placed[i + 3]) / 2;
  if (!std::isfinite(Distance(bounds.centre, {0, 0, 0}))) bounds.centre = {0, 0, 0};
  return bounds;
}

void AddCamerasAndLights(GltfBuilder& builder, const H3dsScene& scene,
                         const ScenePlacement& placement, const Carriers& carriers,
                         const std::vector<std::optional<std::size_t>>& node_of,
                         const ModelBounds& bounds, SceneNodes& nodes) {
  std::size_t non_finite = 0;
  // The glTF node that places an object: its carrier's, else a root of its
  // own at `where`.
  const auto place = [&](int carrier, const std::string& name, const Affine& where) {
    if (carrier >= 0 && node_of[static_cast<std::size_t>(carrier)])
      return *node_of[static_cast<std::size_t>(carrier)];
    Json node = {{"name", builder.NameOf(name)}};
    PutTransform(node, FloatTransformOf(where, non_finite));
    return nodes.Add(std::move(node), std::nullopt);
  };
  for (std::size_t c = 0; c < scene.cameras.size(); ++c) {
    const H3dsCamera& camera = scene.cameras[c];
    const int carrier = carriers.cameras[c];
    const auto [horizontal, changes] = FieldOfView(TracksOf(scene, placement, carrier), camera);
    if (changes)
      builder.Warn("camera '" + builder.Shown(camera.name) +
                   "' changes its field of view over its keys; the glTF keeps the first "
                   "(glTF's cameras have no animated field of view)");
    const std::size_t index =
        builder.Add("cameras", CameraJson(builder, horizontal, bounds.diagonal, camera.name));
    const std::size_t node =
        place(carrier, camera.name, LookingAt(camera.position, camera.target, camera.roll));
    nodes.Add({{"rotation", CameraTurn()}, {"camera", index}}, node);
  }
  Json lights = Json::array();
  for (std::size_t l = 0; l < scene.lights.size(); ++l) {
    const int carrier = carriers.lights[l];
    std::vector<const char*> changing;
    const H3dsLight light =
        AsFirstKeysMakeIt(scene.lights[l], TracksOf(scene, placement, carrier), changing);
    if (!changing.empty()) {
      std::string parts;
      for (std::size_t i = 0; i < changing.size(); ++i)
        parts += (i == 0                     ? ""
                  : i + 1 == changing.size() ? " and "
                                             : ", ") +
                 std::string(changing[i]);
      builder.Warn("light '" + builder.Shown(light.name) + "' changes its " + parts +
                   " over its keys; the glTF keeps the first (glTF's lights have no animated " +
                   parts + ")");
    }
    const std::array<double, 3> at =
        carrier >= 0 ? TranslationOf(placement.nodes[static_cast<std::size_t>(carrier)].world)
                     : PositionOf(light.position);
    lights.push_back(LightJson(builder, light, at, bounds));
    const Json punctual = {{"KHR_lights_punctual", {{"light", l}}}};
    if (light.spot) {
      const std::size_t node =
          place(carrier, light.name, LookingAt(light.position, light.target, light.roll));
      nodes.Add({{"rotation", CameraTurn()}, {"extensions", punctual}}, node);
    } else {
      const std::size_t node =
          place(carrier, light.name,
                Translation(light.position[0], light.position[1], light.position[2]));
      nodes.nodes[node]["extensions"] = punctual;
    }
  }
  if (!lights.empty()) {
    builder.json()["extensions"]["KHR_lights_punctual"]["lights"] = std::move(lights);
    builder.UseExtension("KHR_lights_punctual");
  }
  if (non_finite > 0)
    builder.Warn(std::to_string(non_finite) +
                 " numbers placing cameras or lights that were not numbers were written as 0");
}

}  // namespace torvik::gltf_build
