// The functions the page's JavaScript calls.  Files are passed through the
// module's in-memory file system (the JavaScript API writes them there), so
// the library reads models and finds textures as it does on disk.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "bmf_inspection.h"
#include "js_values.h"
#include "scene_gltf.h"
#include "web_conversion.h"

using emscripten::val;

namespace {

bool Flag(const val& options, const char* name) {
  const val value = options[name];
  return !value.isUndefined() && !value.isNull() && value.as<bool>();
}

// The options of convert(), by their names here: one line each.
using Settings = torvik::ConversionSettings;
constexpr std::pair<const char*, bool Settings::*> kFlags[] = {
    {"smoothingGroups", &Settings::smoothing_groups},
    {"keepFileWinding", &Settings::keep_file_winding},
    {"keyframer", &Settings::keyframer},
    {"orientOutward", &Settings::orient_outward},
    {"fileNormals", &Settings::file_normals},
};

// The files beside a glTF or OBJ model (options.files) and whether a name
// encoding was asked for.
WebInputs InputsOf(const val& options) {
  WebInputs inputs;
  inputs.name_encoding_given = Flag(options, "nameEncodingGiven");
  inputs.files = [files = options["files"]] { return GivenFilesOf(files); };
  return inputs;
}

// convert(path, {smoothingGroups, keepFileWinding, keyframer, orientOutward,
// fileNormals, nameEncoding, nameEncodingGiven, maxPlacedFaces, files},
// stage => ...) -> {ok, error, format, bmf, blocks, vertices, triangles,
// degenerate, defaultMaterial, keyframer: {nodes, instances, moved},
// reversed, instances, textures, maps, images, warnings, milliseconds}
val Convert(const std::string& path, const val& options, const val& on_stage) {
  const WebInputs inputs = InputsOf(options);
  Settings settings;
  for (const auto& [name, member] : kFlags) settings.*member = Flag(options, name);
  settings.names = NameDecoderOf(options);
  const val limit = options["maxPlacedFaces"];
  if (limit.isNumber() && limit.as<double>() >= 1)
    settings.max_placed_faces = static_cast<std::uint64_t>(std::min(limit.as<double>(), 1e18));
  const bool report_stages = on_stage.typeOf().as<std::string>() == "function";
  const WebConversion conversion = ConvertModelFile(path, settings, inputs, [&](const char* stage) {
    if (report_stages) on_stage(std::string(stage));
  });
  val result = val::object();
  const torvik::ConversionReport& report = conversion.report;
  result.set("ok", conversion.ok);
  result.set("error", conversion.ok ? val::null() : val(conversion.error));
  result.set("format", conversion.ok ? val(std::string(torvik::ModelFormatName(report.format)))
                                     : val::null());
  result.set("bmf",
             conversion.ok ? CopiedArray<torvik::byte>("Uint8Array", report.bmf) : val::null());
  result.set("blocks", static_cast<double>(report.blocks));
  result.set("vertices", static_cast<double>(report.vertices));
  result.set("triangles", static_cast<double>(report.triangles));
  result.set("degenerate", static_cast<double>(report.degenerate));
  result.set("defaultMaterial", report.default_material);
  val keyframer = val::object();
  keyframer.set("nodes", static_cast<double>(report.keyframer.nodes));
  keyframer.set("instances", static_cast<double>(report.keyframer.instances));
  keyframer.set("moved", static_cast<double>(report.keyframer.moved));
  result.set("keyframer", keyframer);
  result.set("reversed", static_cast<double>(report.reversed));
  result.set("instances", static_cast<double>(report.instances));
  result.set("images", ImageValues(report.images));
  result.set("textures", TextureValues(report.textures, settings.names));
  result.set("maps", MapValues(report.maps, settings.names));
  result.set("warnings", StringArray(report.warnings));
  result.set("milliseconds", conversion.milliseconds);
  return result;
}

// toGltf(path, {nameEncoding, nameEncodingGiven, orientOutward, files}) ->
// {ok, error, glb, warnings}
val ToGltf(const std::string& path, const val& options) {
  const WebInputs inputs = InputsOf(options);
  const WebGltf gltf =
      SceneGltfOfFile(path, NameDecoderOf(options), Flag(options, "orientOutward"), inputs);
  val result = val::object();
  result.set("ok", gltf.ok);
  result.set("error", gltf.ok ? val::null() : val(gltf.error));
  result.set("glb", gltf.ok ? CopiedArray<torvik::byte>("Uint8Array", gltf.glb) : val::null());
  result.set("warnings", StringArray(gltf.warnings));
  return result;
}

// readBmf(path, {nameEncoding}) -> InspectBmfFile's object
val ReadBmf(const std::string& path, const val& options) {
  return InspectBmfFile(path, NameDecoderOf(options));
}

// What this build can do beyond converting and reading BMF.
val Features() {
  val features = val::object();
  features.set("keyframer", true);
  features.set("gltf", true);
  return features;
}

}  // namespace

EMSCRIPTEN_BINDINGS(torvik32c_web) {
  emscripten::function("convert", &Convert);
  emscripten::function("readBmf", &ReadBmf);
  emscripten::function("toGltf", &ToGltf);
  emscripten::function("features", &Features);
}
