#include "js_values.h"

#include <map>
#include <stdexcept>

#include "torvik32c/reports.h"

using emscripten::val;

val StringArray(const std::vector<std::string>& items) {
  val array = val::array();
  for (const std::string& item : items) array.call<void>("push", val(item));
  return array;
}

torvik::NameDecoder NameDecoderOf(const val& options) {
  if (options.typeOf().as<std::string>() != "object" || options.isNull()) return {};
  const val label = options["nameEncoding"];
  if (!label.isString()) return {};
  const std::string encoding = label.as<std::string>();
  try {
    return torvik::NameDecoderFor(encoding);
  } catch (const std::invalid_argument&) {
  }
  return [encoding](std::string_view stored) {
    const val bytes = val(emscripten::typed_memory_view(
        stored.size(), reinterpret_cast<const unsigned char*>(stored.data())));
    val options = val::object();
    options.set("ignoreBOM", true);
    return val::global("TextDecoder").new_(encoding, options).call<std::string>("decode", bytes);
  };
}

val TextureValue(const torvik::TextureResolution& texture, const torvik::NameDecoder& names) {
  val object = val::object();
  object.set("name", torvik::NameUtf8(texture.name, names));
  object.set("path", texture.found() ? val(texture.path->generic_string()) : val::null());
  object.set("rule", texture.found() ? val(std::string(torvik::TextureRuleName(texture.rule)))
                                     : val::null());
  std::vector<std::string> candidates;
  if (texture.ambiguous())
    for (const std::filesystem::path& candidate : texture.candidates)
      candidates.push_back(candidate.generic_string());
  object.set("candidates", StringArray(candidates));
  const std::string problem = torvik::TextureProblem(texture, true, names);
  object.set("problem", problem.empty() ? val::null() : val(problem));
  return object;
}

val TextureValues(const std::vector<torvik::TextureResolution>& textures,
                  const torvik::NameDecoder& names) {
  val array = val::array();
  for (const torvik::TextureResolution& texture : textures)
    array.call<void>("push", TextureValue(texture, names));
  return array;
}

val MapValues(const std::vector<torvik::MaterialMap>& maps, const torvik::NameDecoder& names) {
  val array = val::array();
  for (const torvik::MaterialMap& map : maps) {
    val object = TextureValue(map.file, names);
    object.set("material", torvik::NameUtf8(map.material, names));
    object.set("kind", std::string(torvik::MapKindName(map.file.kind)));
    object.set("placement", torvik::MapParameters(map.map));
    array.call<void>("push", object);
  }
  return array;
}

torvik::FileReader GivenFilesOf(const val& files) {
  if (files.typeOf().as<std::string>() != "object" || files.isNull()) return {};
  std::map<std::string, std::vector<torvik::byte>> given;
  const val names = val::global("Object").call<val>("keys", files);
  const std::size_t count = names["length"].as<std::size_t>();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string name = names[i].as<std::string>();
    const val bytes = files[name];
    std::vector<torvik::byte>& copy = given[name];
    copy.resize(bytes["length"].as<std::size_t>());
    val(emscripten::typed_memory_view(copy.size(), copy.data())).call<void>("set", bytes);
  }
  return torvik::GivenFiles(std::move(given));
}

val ImageValues(const std::vector<torvik::EmbeddedImage>& images) {
  val array = val::array();
  for (const torvik::EmbeddedImage& image : images) {
    val object = val::object();
    object.set("name", image.texture_name);
    object.set("fileName", image.file_name);
    object.set("bytes", CopiedArray<torvik::byte>("Uint8Array", image.bytes));
    array.call<void>("push", object);
  }
  return array;
}
