#include <algorithm>

#include "torvik32c/reports.h"

namespace torvik {

std::vector<std::string> DistinctTextureNames(const std::vector<std::string>& names) {
  std::vector<std::string> distinct;
  for (const std::string& name : names)
    if (!name.empty() && std::find(distinct.begin(), distinct.end(), name) == distinct.end())
      distinct.push_back(name);
  return distinct;
}

std::vector<TextureResolution> ResolveTextures(const std::vector<std::string>& names,
                                               const std::filesystem::path& model_file,
                                               const TextureSearchOptions& options) {
  ModelTextureSearch search(model_file, options);
  return ResolveTextures(names, search);
}

std::vector<TextureResolution> ResolveTextures(const std::vector<std::string>& names,
                                               ModelTextureSearch& search) {
  std::vector<TextureResolution> textures;
  for (const std::string& name : names) textures.push_back(search.Resolve(name));
  return textures;
}

std::size_t FoundCount(const std::vector<TextureResolution>& textures) {
  return static_cast<std::size_t>(std::count_if(
      textures.begin(), textures.end(), [](const TextureResolution& t) { return t.found(); }));
}

std::string TextureJson(const TextureResolution& texture, const NameDecoder& names) {
  std::string json = "{\"name\":" + JsonString(NameUtf8(texture.name, names)) + ",\"path\":";
  json += texture.found() ? JsonString(texture.path->string()) : "null";
  json += ",\"rule\":";
  json += texture.found() ? JsonString(TextureRuleName(texture.rule)) : "null";
  json += ",\"candidates\":[";
  if (texture.ambiguous()) {
    for (std::size_t i = 0; i < texture.candidates.size(); ++i) {
      if (i != 0) json += ',';
      json += JsonString(texture.candidates[i].string());
    }
  }
  return json + "]}";
}

std::string TexturesJson(const std::vector<TextureResolution>& textures,
                         const std::vector<bool>* copied, const NameDecoder& names) {
  std::string json = "[";
  for (std::size_t i = 0; i < textures.size(); ++i) {
    if (i != 0) json += ',';
    json += TextureJson(textures[i], names);
    if (copied != nullptr && i < copied->size()) {
      json.pop_back();
      json += std::string(",\"copied\":") + ((*copied)[i] ? "true" : "false") + "}";
    }
  }
  return json + "]";
}

std::string TextureProblem(const TextureResolution& texture, bool used, const NameDecoder& names) {
  const std::string name = MapNoun(texture.kind) + " " + QuotedName(texture.name, names);
  if (texture.stopped_for_model)
    return name + " not found: the search for the model's textures stopped after examining " +
           std::to_string(texture.visited) + " files and folders";
  if (texture.stopped)
    return name + " not found: the search stopped after examining " +
           std::to_string(texture.visited) + " files and folders";
  if (!texture.found()) return name + " not found";
  if (!texture.ambiguous()) return "";
  std::string text = name + " is ambiguous: ";
  for (std::size_t i = 0; i < texture.candidates.size(); ++i) {
    if (i != 0) text += ", ";
    text += ShownPath(texture.candidates[i]);
  }
  return used ? text + " (using " + ShownPath(*texture.path) + ")" : text;
}

std::string TextureOutcome(const TextureResolution& texture) {
  if (!texture.found()) return "not found";
  std::string text = ShownPath(*texture.path) + " (" + TextureRuleName(texture.rule);
  if (texture.ambiguous()) text += ", " + std::to_string(texture.candidates.size()) + " candidates";
  return text + ")";
}

}  // namespace torvik
