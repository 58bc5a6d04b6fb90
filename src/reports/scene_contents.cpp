// What the scene export adds to the meshes: the animation, cameras and
// lights, counted and named for --list and --json.
#include "torvik32c/keyframer_tracks.h"
#include "torvik32c/reports.h"

namespace torvik {

SceneContents MeasureSceneContents(const H3dsScene& scene, const ScenePlacement& placement) {
  SceneContents contents;
  contents.frames = AnimationFrames(scene.animation);
  const NodeAnimation animation(scene, placement);
  for (std::size_t i = 0; i < placement.nodes.size(); ++i) {
    if (!animation.Moves(i) && !animation.Hides(i)) continue;
    ++contents.animated_nodes;
    if (const NodeTracks* tracks = animation.TracksOf(i)) contents.keys += KeyCount(*tracks);
  }
  for (const H3dsCamera& camera : scene.cameras) contents.cameras.push_back(camera.name);
  for (const H3dsLight& light : scene.lights)
    contents.lights.push_back({light.name, light.spot ? "spot" : "omni", light.off});
  return contents;
}

std::string AnimationSummary(const SceneContents& contents) {
  if (contents.animated_nodes == 0) return "none";
  return "frames " + std::to_string(contents.frames[0]) + " to " +
         std::to_string(contents.frames[1]) + ", " +
         Counted(contents.animated_nodes, "animated node") + " (" + Counted(contents.keys, "key") +
         ")";
}

std::vector<std::string> CameraLines(const SceneContents& contents, const NameDecoder& names) {
  std::vector<std::string> lines;
  for (const std::string& camera : contents.cameras) lines.push_back(QuotedName(camera, names));
  return lines;
}

std::vector<std::string> LightLines(const SceneContents& contents, const NameDecoder& names) {
  std::vector<std::string> lines;
  for (const SceneContents::Light& light : contents.lights)
    lines.push_back(QuotedName(light.name, names) + " (" + light.kind +
                    (light.off ? ", off)" : ")"));
  return lines;
}

std::string AnimationJson(const SceneContents& contents) {
  return "{\"frames\":[" + std::to_string(contents.frames[0]) + "," +
         std::to_string(contents.frames[1]) +
         "],\"nodes\":" + std::to_string(contents.animated_nodes) +
         ",\"keys\":" + std::to_string(contents.keys) + "}";
}

std::string CamerasJson(const SceneContents& contents, const NameDecoder& names) {
  std::string json = "[";
  for (const std::string& camera : contents.cameras) {
    if (json.size() > 1) json += ',';
    json += JsonString(NameUtf8(camera, names));
  }
  return json + "]";
}

std::string LightsJson(const SceneContents& contents, const NameDecoder& names) {
  std::string json = "[";
  for (const SceneContents::Light& light : contents.lights) {
    if (json.size() > 1) json += ',';
    json += "{\"name\":" + JsonString(NameUtf8(light.name, names)) + ",\"type\":\"" + light.kind +
            "\",\"on\":" + (light.off ? "false" : "true") + "}";
  }
  return json + "]";
}

}  // namespace torvik
