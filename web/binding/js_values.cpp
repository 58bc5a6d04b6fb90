#include "js_values.h"

#include "torvik32c/reports.h"

using emscripten::val;

val StringArray(const std::vector<std::string>& items) {
  val array = val::array();
  for (const std::string& item : items) array.call<void>("push", val(item));
  return array;
}

val TextureValue(const torvik::TextureResolution& texture) {
  val object = val::object();
  object.set("name", texture.name);
  object.set("path", texture.found() ? val(texture.path->generic_string()) : val::null());
  object.set("rule", texture.found() ? val(std::string(torvik::TextureRuleName(texture.rule)))
                                     : val::null());
  std::vector<std::string> candidates;
  if (texture.ambiguous())
    for (const std::filesystem::path& candidate : texture.candidates)
      candidates.push_back(candidate.generic_string());
  object.set("candidates", StringArray(candidates));
  const std::string problem = torvik::TextureProblem(texture);
  object.set("problem", problem.empty() ? val::null() : val(problem));
  return object;
}

val TextureValues(const std::vector<torvik::TextureResolution>& textures) {
  val array = val::array();
  for (const torvik::TextureResolution& texture : textures)
    array.call<void>("push", TextureValue(texture));
  return array;
}
