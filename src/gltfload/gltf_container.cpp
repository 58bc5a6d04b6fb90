#include "gltf_container.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "base/little_endian.h"
#include "torvik32c/name_text.h"

namespace torvik::gltfload {

namespace {

using Json = nlohmann::json;

constexpr std::uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t kBinChunk = 0x004E4942;   // "BIN"

[[noreturn]] void Fail(const std::string& where, const std::string& problem) {
  throw ImportError(kGltf, where, problem);
}

std::string At(std::size_t offset) { return "byte " + std::to_string(offset); }

// The unsigned integer `object[key]` (`fallback` when it is missing); fails
// naming `pointer`/`key` when it is something else.
std::uint64_t Unsigned(const Json& object, const char* key, const std::string& pointer,
                       std::optional<std::uint64_t> fallback = std::nullopt) {
  const auto found = object.find(key);
  if (found == object.end()) {
    if (fallback) return *fallback;
    Fail(pointer, std::string("has no \"") + key + "\"");
  }
  if (!found->is_number_unsigned() &&
      !(found->is_number_integer() && found->get<std::int64_t>() >= 0))
    Fail(pointer + "/" + key, "is not a whole number of 0 or more");
  return found->get<std::uint64_t>();
}

const Json& Element(const Json& json, const char* array, std::uint64_t index,
                    const std::string& referrer) {
  const auto found = json.find(array);
  if (found == json.end() || !found->is_array() || index >= found->size())
    Fail(referrer,
         std::string("names ") + array + " " + std::to_string(index) + ", which the glTF lacks");
  const Json& element = (*found)[static_cast<std::size_t>(index)];
  if (!element.is_object())
    Fail("/" + std::string(array) + "/" + std::to_string(index), "is not a JSON object");
  return element;
}

void CheckImages(const Json& json) {
  const auto images = json.find("images");
  if (images == json.end() || !images->is_array()) return;
  for (std::size_t i = 0; i < images->size(); ++i) {
    const Json& image = (*images)[i];
    const std::string pointer = "/images/" + std::to_string(i);
    if (!image.is_object()) Fail(pointer, "is not a JSON object");
    if (!image.contains("bufferView")) continue;
    const std::uint64_t view_index = Unsigned(image, "bufferView", pointer);
    const Json& view = Element(json, "bufferViews", view_index, pointer + "/bufferView");
    const std::string view_pointer = "/bufferViews/" + std::to_string(view_index);
    const std::uint64_t buffer_index = Unsigned(view, "buffer", view_pointer);
    const std::uint64_t offset = Unsigned(view, "byteOffset", view_pointer, 0);
    const std::uint64_t length = Unsigned(view, "byteLength", view_pointer);
    const Json& buffer = Element(json, "buffers", buffer_index, view_pointer + "/buffer");
    const std::uint64_t size =
        Unsigned(buffer, "byteLength", "/buffers/" + std::to_string(buffer_index));
    if (length == 0) Fail(pointer, "lies in a buffer view of no bytes");
    if (offset > size || length > size - offset)
      Fail(pointer, "lies in buffer view " + std::to_string(view_index) + " (bytes " +
                        std::to_string(offset) + " to " + std::to_string(offset + length) +
                        "), past the end of buffer " + std::to_string(buffer_index) + " (" +
                        std::to_string(size) + " bytes)");
  }
}

}  // namespace

BinaryGltf BinaryGltfChunks(std::span<const byte> bytes) {
  constexpr std::size_t kHeader = 12, kChunkHeader = 8;
  if (bytes.size() < kHeader + kChunkHeader)
    Fail(At(0), "a binary glTF's header and first chunk header take 20 bytes, the file has " +
                    std::to_string(bytes.size()));
  const std::uint32_t version = load_u32(bytes.data() + 4);
  if (version != 2) Fail(At(4), "version " + std::to_string(version) + ", where 2 is read");
  const std::uint32_t length = load_u32(bytes.data() + 8);
  if (length > bytes.size())
    Fail(At(8), "declares " + std::to_string(length) + " bytes, the file has " +
                    std::to_string(bytes.size()));
  if (length < kHeader + kChunkHeader)
    Fail(At(8), "declares " + std::to_string(length) + " bytes, fewer than its headers take");
  const std::uint32_t json_length = load_u32(bytes.data() + kHeader);
  const std::uint32_t type = load_u32(bytes.data() + kHeader + 4);
  if (type != kJsonChunk) Fail(At(kHeader + 4), "the first chunk is not the JSON chunk");
  if (json_length == 0 || json_length > length - kHeader - kChunkHeader)
    Fail(At(kHeader), "the JSON chunk of " + std::to_string(json_length) +
                          " bytes does not fit in the " + std::to_string(length) +
                          " bytes the file declares");
  BinaryGltf chunks{bytes.subspan(kHeader + kChunkHeader, json_length), std::nullopt};
  // The BIN chunk, when there is room for its header after the JSON's.
  const std::size_t bin_at = kHeader + kChunkHeader + std::size_t{json_length};
  if (length - bin_at < kChunkHeader) return chunks;
  const std::uint32_t bin_length = load_u32(bytes.data() + bin_at);
  const std::uint32_t bin_type = load_u32(bytes.data() + bin_at + 4);
  if (bin_type != kBinChunk) return chunks;
  if (bin_length > length - bin_at - kChunkHeader)
    Fail(At(bin_at), "the BIN chunk of " + std::to_string(bin_length) +
                         " bytes does not fit in the " + std::to_string(length) +
                         " bytes the file declares");
  chunks.bin = bytes.subspan(bin_at + kChunkHeader, bin_length);
  return chunks;
}

Json PrecheckJson(std::span<const byte> text) {
  Json json;
  try {
    const Json::parser_callback_t depth = [](int level, Json::parse_event_t, Json&) {
      if (level > kMaxJsonDepth)
        throw ImportError(
            kGltf, "", "the JSON nests deeper than " + std::to_string(kMaxJsonDepth) + " levels");
      return true;
    };
    json = Json::parse(text.begin(), text.end(), depth);
  } catch (const Json::exception& error) {
    // A syntax error, or a number past what a double holds ("2e515").
    Fail("", std::string("the JSON does not parse: ") + error.what());
  }
  if (!json.is_object()) Fail("", "the JSON is not an object");
  const auto asset = json.find("asset");
  if (asset == json.end() || !asset->is_object()) Fail("/asset", "is missing: this is no glTF");
  const auto version = asset->find("version");
  if (version == asset->end() || !version->is_string())
    Fail("/asset/version", "is missing or not a string");
  const std::string stated = version->get<std::string>();
  if (stated.rfind("2.", 0) != 0)
    Fail("/asset/version", "is \"" + ShownText(stated) + "\": only glTF 2 is read");
  CheckImages(json);
  return json;
}

}  // namespace torvik::gltfload
