// What the front ends say about the maps of a scene's materials.
#include <algorithm>
#include <cmath>
#include <utility>

#include "torvik32c/reports.h"

namespace torvik {

namespace {

// The kinds in their order, texture 1 first.
constexpr MapKind kKinds[] = {
    MapKind::texture,  MapKind::texture2,  MapKind::opacity,           MapKind::bump,
    MapKind::specular, MapKind::shininess, MapKind::self_illumination, MapKind::reflection};

// "0.25", "3", "-1.5": a float in the fewest digits that read back as it.
std::string Number(float value) { return JsonNumber(value); }

bool SameFile(const TextureResolution& a, const TextureResolution& b) {
  return a.kind == b.kind && a.name == b.name;
}

}  // namespace

std::string MapNoun(MapKind kind) {
  return kind == MapKind::texture ? "texture" : std::string(MapKindName(kind)) + " map";
}

std::vector<MaterialMap> ResolveMaterialMaps(const std::vector<H3dsMat>& materials,
                                             const std::filesystem::path& model_file,
                                             const TextureSearchOptions& options) {
  ModelTextureSearch search(model_file, options);
  return ResolveMaterialMaps(materials, search);
}

std::vector<MaterialMap> ResolveMaterialMaps(const std::vector<H3dsMat>& materials,
                                             ModelTextureSearch& search) {
  std::vector<MaterialMap> maps;
  std::vector<TextureResolution> resolved;
  for (const H3dsMat& material : materials) {
    for (const MapKind kind : kKinds) {
      const H3dsTextureMap& map = material.Map(kind);
      if (!map.Used()) continue;
      auto known = std::find_if(resolved.begin(), resolved.end(), [&](const auto& file) {
        return file.kind == kind && file.name == map.name;
      });
      if (known == resolved.end())
        known = resolved.insert(resolved.end(), search.Resolve(map.name, kind));
      maps.push_back({material.name, map, *known});
    }
  }
  return maps;
}

std::vector<TextureResolution> DistinctMapFiles(const std::vector<MaterialMap>& maps,
                                                bool without_texture) {
  std::vector<TextureResolution> files;
  for (const MaterialMap& map : maps) {
    if (without_texture && map.file.kind == MapKind::texture) continue;
    const auto same = [&](const TextureResolution& file) { return SameFile(file, map.file); };
    if (std::none_of(files.begin(), files.end(), same)) files.push_back(map.file);
  }
  return files;
}

std::vector<std::string> MapFileProblems(const std::vector<MaterialMap>& maps,
                                         const NameDecoder& names) {
  std::vector<std::string> problems;
  for (const TextureResolution& file : DistinctMapFiles(maps, true))
    if (std::string problem = TextureProblem(file, true, names); !problem.empty())
      problems.push_back(std::move(problem));
  return problems;
}

std::string MapParameters(const H3dsTextureMap& map) {
  std::vector<std::string> parts;
  // Percentages to a hundredth, as 3D Studio shows them.
  if (map.percent != 1)
    parts.push_back(
        Number(static_cast<float>(std::round(static_cast<double>(map.percent) * 10000) / 100)) +
        " %");
  if (map.u_scale != 1 || map.v_scale != 1)
    parts.push_back("tiled " + Number(map.u_scale) + " x " + Number(map.v_scale));
  if (map.u_offset != 0 || map.v_offset != 0)
    parts.push_back("offset " + Number(map.u_offset) + " " + Number(map.v_offset));
  if (map.rotation != 0) parts.push_back("turned " + Number(map.rotation) + " degrees");
  if ((map.tiling & kMapMirror) != 0) parts.push_back("mirrored");
  if ((map.tiling & (kMapNoTiling | kMapDecal)) != 0) parts.push_back("not repeated");
  if ((map.tiling & kMapNegative) != 0) parts.push_back("negative");
  if ((map.tiling & kMapAlphaSource) != 0) parts.push_back("from its alpha");
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

std::string MaterialMapLine(const MaterialMap& map, const NameDecoder& names) {
  const std::string parameters = MapParameters(map.map);
  return "material " + QuotedName(map.material, names) + ": " + MapNoun(map.file.kind) + " " +
         QuotedName(map.file.name, names) + (parameters.empty() ? "" : " " + parameters) + ": " +
         TextureOutcome(map.file);
}

std::string MaterialMapsJson(const std::vector<MaterialMap>& maps,
                             const std::vector<std::pair<TextureResolution, bool>>* copied,
                             const NameDecoder& names) {
  std::string json = "[";
  for (const MaterialMap& map : maps) {
    if (json.size() > 1) json += ',';
    const H3dsTextureMap& m = map.map;
    std::string file = TextureJson(map.file, names);
    file.erase(0, 1);  // its members follow the material's and the kind
    json += "{\"material\":" + JsonString(NameUtf8(map.material, names)) +
            ",\"kind\":" + JsonString(MapKindName(map.file.kind)) + "," + file;
    json.pop_back();
    json += ",\"amount\":" + JsonNumber(m.percent) + ",\"tiling\":" + std::to_string(m.tiling) +
            ",\"scale\":[" + JsonNumber(m.u_scale) + "," + JsonNumber(m.v_scale) +
            "],\"offset\":[" + JsonNumber(m.u_offset) + "," + JsonNumber(m.v_offset) +
            "],\"rotation\":" + JsonNumber(m.rotation);
    if (copied != nullptr) {
      const auto entry = std::find_if(copied->begin(), copied->end(),
                                      [&](const auto& c) { return SameFile(c.first, map.file); });
      json += std::string(",\"copied\":") +
              (entry != copied->end() && entry->second ? "true" : "false");
    }
    json += "}";
  }
  return json + "]";
}

}  // namespace torvik
