// libFuzzer target: the scene export from 3DS bytes in memory to a .glb, as
// 3ds2bmf --gltf and the web page make it (the keyframer's placement, the
// file's winding, smoothing groups), every material textured by one small
// image.  A damaged file must end in one of the library's errors; anything
// else (a crash, a sanitizer report, a leak, a hang) is a finding, and so is
// a document whose JSON does not parse back, whose buffer views or
// accessors reach past their buffer, whose indices name a vertex its
// attributes lack, or whose nodes are not a forest of the scene's roots.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <nlohmann/json.hpp>
#include <span>
#include <stdexcept>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/errors.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/gltf_export.h"

namespace {

using Json = nlohmann::json;

[[noreturn]] void Finding(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  __builtin_trap();
}

// A 2x2 RGB TGA: every texture name leads to it, so materials embed an image
// (re-encoded as PNG) and meshes carry texture coordinates.
const std::vector<std::uint8_t> kTexture = {0, 0, 2,   0, 0,   0,    0,   0, 0, 0,   0,   0,
                                            2, 0, 2,   0, 24,  0x20,  // header, top row first
                                            0, 0, 255, 0, 255, 0,    255, 0, 0, 255, 255, 255};

std::size_t Number(const Json& json, const char* key) {
  if (!json.contains(key) || !json[key].is_number_unsigned()) Finding("a count is not a number");
  return json[key].get<std::size_t>();
}

void CheckDocument(const std::vector<std::uint8_t>& glb) {
  // The GLB header, the JSON chunk and the binary chunk.
  if (glb.size() < 20) Finding("no GLB header");
  const auto u32 = [&](std::size_t at) {
    return std::size_t{glb[at]} | std::size_t{glb[at + 1]} << 8 | std::size_t{glb[at + 2]} << 16 |
           std::size_t{glb[at + 3]} << 24;
  };
  if (u32(8) != glb.size()) Finding("the GLB's length is not its size");
  const std::size_t json_length = u32(12);
  if (20 + json_length > glb.size()) Finding("the JSON chunk passes the end");
  const Json json =
      Json::parse(glb.begin() + 20, glb.begin() + static_cast<std::ptrdiff_t>(20 + json_length),
                  nullptr, false);
  if (json.is_discarded()) Finding("the JSON does not parse");
  std::size_t binary = 0;
  if (20 + json_length < glb.size()) binary = u32(20 + json_length);
  if (json.contains("buffers") && Number(json["buffers"][0], "byteLength") > binary)
    Finding("the buffer is longer than the binary chunk");
  const Json& views = json.value("bufferViews", Json::array());
  for (const Json& view : views)
    if (view.value("byteOffset", std::size_t{0}) + Number(view, "byteLength") > binary)
      Finding("a buffer view passes the end of the buffer");
  const Json& accessors = json.value("accessors", Json::array());
  const auto view_of = [&](const Json& accessor) -> const Json& {
    const std::size_t view = Number(accessor, "bufferView");
    if (view >= views.size()) Finding("an accessor names no buffer view");
    return views[view];
  };
  for (const Json& accessor : accessors) {
    const std::size_t width = accessor["type"] == "VEC3"          ? 12
                              : accessor["type"] == "VEC2"        ? 8
                              : accessor["componentType"] == 5123 ? 2
                                                                  : 4;
    if (Number(accessor, "count") * width > Number(view_of(accessor), "byteLength"))
      Finding("an accessor passes the end of its view");
  }
  for (const Json& mesh : json.value("meshes", Json::array())) {
    for (const Json& primitive : mesh["primitives"]) {
      const Json& position = accessors.at(Number(primitive["attributes"], "POSITION"));
      const Json& indices = accessors.at(Number(primitive, "indices"));
      const Json& view = view_of(indices);
      const std::size_t offset = view.value("byteOffset", std::size_t{0});
      const bool wide = indices["componentType"] == 5125;
      for (std::size_t i = 0; i < Number(indices, "count"); ++i) {
        const std::size_t at = offset + i * (wide ? 4 : 2);
        const std::size_t index = wide ? u32(20 + json_length + 8 + at)
                                       : std::size_t{glb[20 + json_length + 8 + at]} |
                                             std::size_t{glb[20 + json_length + 9 + at]} << 8;
        if (index >= Number(position, "count")) Finding("an index names a missing vertex");
      }
    }
  }
  // Every node reached once from the scene's roots.
  const Json& nodes = json.value("nodes", Json::array());
  std::vector<int> reached(nodes.size(), 0);
  std::vector<std::size_t> stack;
  for (const Json& root : json["scenes"][0].value("nodes", Json::array()))
    stack.push_back(root.get<std::size_t>());
  while (!stack.empty()) {
    const std::size_t node = stack.back();
    stack.pop_back();
    if (node >= nodes.size() || ++reached[node] > 1) Finding("the nodes are not a forest");
    for (const Json& child : nodes[node].value("children", Json::array()))
      stack.push_back(child.get<std::size_t>());
  }
  for (const int count : reached)
    if (count != 1) Finding("a node is not reached from the scene");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> glb;
  try {
    const torvik::H3dsScene scene = torvik::HRead3dsScene(std::span<const std::uint8_t>(data, size),
                                                          torvik::SceneGltfReadOptions(1));
    torvik::GltfOptions options;
    options.find_texture = [](const std::string& name,
                              torvik::MapKind) -> std::optional<std::filesystem::path> { return name; };
    options.read_texture = [](const std::filesystem::path&) { return kTexture; };
    // Inputs of odd length are exported with --orient-outward.
    options.orient_outward = size % 2 == 1;
    glb = torvik::GlbBytes(torvik::BuildSceneGltf(scene, options));
  } catch (const torvik::Error&) {
    return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  CheckDocument(glb);
  return 0;
}
