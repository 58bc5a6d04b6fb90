// The Python module torvik32c (its native part, torvik32c._native): the
// converter's functions, each running the library with the GIL released.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <array>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "errors.h"
#include "options.h"
#include "results.h"
#include "sources.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/keyframer.h"
#include "torvik32c/model_conversion.h"
#include "torvik32c/model_import.h"
#include "torvik32c/reports.h"
#include "torvik32c/texture_copy.h"

#ifndef TORVIK_VERSION
#define TORVIK_VERSION "unknown"
#endif

namespace py = pybind11;
namespace fs = std::filesystem;
using namespace torvik_python;

namespace {

// --- The options of each function, one line each ---

using ConvertSettings = torvik::ConversionSettings;
using C = ConvertSettings;
const std::vector<Option<C>> kConvertOptions = {
    Flag("keyframer", &C::keyframer),
    Flag("keep_file_winding", &C::keep_file_winding),
    Flag("smoothing_groups", &C::smoothing_groups),
    Flags<C>("as_authored", {&C::keyframer, &C::keep_file_winding, &C::smoothing_groups}),
    Flag("orient_outward", &C::orient_outward),
    Flag("file_normals", &C::file_normals),
    Limit("max_placed_faces", &C::max_placed_faces),
    Paths("texture_paths", &C::texture_paths),
    Choices("textures", &C::texture_choices),
    Flag("require_textures", &C::require_textures),
    Count("threads", &C::threads),
    Encoding("name_encoding", &C::names),
};

// How read_3ds reads a scene and finds its textures.
struct ReadSettings {
  bool keyframer = false;
  bool keep_file_winding = false;
  bool orient_outward = false;
  std::uint64_t max_placed_faces = torvik::kDefaultMaxPlacedFaces;
  std::vector<fs::path> texture_paths;
  std::vector<torvik::TextureChoice> texture_choices;
  std::size_t threads = 0;
  torvik::NameDecoder names;
};
using R = ReadSettings;
const std::vector<Option<R>> kReadOptions = {
    Flag("keyframer", &R::keyframer),
    Flag("keep_file_winding", &R::keep_file_winding),
    Flags<R>("as_authored", {&R::keyframer, &R::keep_file_winding}),
    Flag("orient_outward", &R::orient_outward),
    Limit("max_placed_faces", &R::max_placed_faces),
    Paths("texture_paths", &R::texture_paths),
    Choices("textures", &R::texture_choices),
    Count("threads", &R::threads),
    Encoding("name_encoding", &R::names),
};

// How to_gltf finds the textures it embeds, whether it orients meshes
// outward, and its animation's frame rate: the options of 3ds2bmf --gltf.
using G = torvik::ConversionSettings;
const std::vector<Option<G>> kGltfOptions = {
    Flag("orient_outward", &G::orient_outward),
    Paths("texture_paths", &G::texture_paths),
    Choices("textures", &G::texture_choices),
    WholeNumber("fps", &G::frames_per_second, 1, 1000),
    Count("threads", &G::threads),
    Encoding("name_encoding", &G::names),
};

// How read_bmf writes the blocks' texture names.
struct BmfSettings {
  torvik::NameDecoder names;
};
using B = BmfSettings;
const std::vector<Option<B>> kBmfOptions = {
    Encoding("name_encoding", &B::names),
};

// --- Helpers ---

// Each warning as a torvik32c.ConversionWarning, attributed to the line
// that called the function (the first frame up is the caller's: a native
// function has none of its own).
void Warn(const std::vector<std::string>& warnings) {
  if (warnings.empty()) return;
  const py::object warn = py::module_::import("warnings").attr("warn");
  const py::object category = py::module_::import("torvik32c.errors").attr("ConversionWarning");
  for (const std::string& warning : warnings) warn(warning, category, 1);
}

py::bytes BytesOf(const std::vector<torvik::byte>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Where the model lies, for its textures: the file read, else `model_path`
// (None: nowhere, and then no texture option may be given).
fs::path ModelFile(const Source& source, const py::object& model_path, bool texture_options,
                   const char* function) {
  if (source.IsFile()) return source.Path();
  if (!model_path.is_none()) return PathValue("model_path", model_path);
  if (texture_options)
    throw py::value_error(std::string(function) +
                          "(): texture options need model_path when the model is bytes");
  return {};
}

// The files a glTF or OBJ given as bytes names beside it, from `files`
// ({relative path: bytes}); None leaves them to model_path's folder.
void GiveFiles(const py::object& files, torvik::ConversionSettings& settings) {
  if (files.is_none()) return;
  std::map<std::string, std::vector<torvik::byte>> given;
  for (const auto& [name, data] : py::cast<py::dict>(files)) {
    Source source(py::reinterpret_borrow<py::object>(data), "files");
    const std::span<const torvik::byte> bytes = source.Bytes();
    given[py::cast<std::string>(name)] = {bytes.begin(), bytes.end()};
  }
  try {
    settings.files = torvik::GivenFiles(std::move(given));
  } catch (const std::invalid_argument& refused) {
    throw py::value_error(std::string("files: ") + refused.what());
  }
}

torvik::TextureSearchOptions SearchOptions(const std::vector<fs::path>& folders,
                                           const std::vector<torvik::TextureChoice>& choices) {
  torvik::TextureSearchOptions search;
  search.extra_folders = folders;
  search.choices = choices;
  return search;
}

std::vector<torvik::TextureResolution> ResolveNames(const std::vector<std::string>& names,
                                                    const fs::path& model_file,
                                                    const torvik::TextureSearchOptions& search) {
  if (model_file.empty()) return {};
  return torvik::ResolveTextures(torvik::DistinctTextureNames(names), model_file, search);
}

// --- The functions ---

py::object Convert(const py::object& src, const py::object& dest, const py::kwargs& kwargs) {
  C settings = ParseOptions<C>("convert", kwargs, kConvertOptions);
  const fs::path source = PathValue("src", src);
  const fs::path destination = PathValue("dest", dest);
  settings.destination = destination;
  // The images stored inside a glTF go beside the BMF as 3ds2bmf writes
  // them, their warnings after the conversion's.
  std::vector<fs::path> image_paths;
  const torvik::ConversionReport report = WithoutGil(source.string(), [&] {
    torvik::CheckDestination(source, destination);
    torvik::ConversionReport converted =
        torvik::ConvertModel(torvik::ReadFileBytes(source.string()), source, settings);
    torvik::EmbeddedImagesWritten written =
        torvik::WriteEmbeddedImages(converted.images, destination, source.string());
    converted.warnings.insert(converted.warnings.end(), written.warnings.begin(),
                              written.warnings.end());
    image_paths = std::move(written.paths);
    return converted;
  });
  return ConversionOf(report, source.string(), destination.string(), settings.names, image_paths);
}

py::object ConvertBytes(const py::object& data, const py::object& model_path,
                        const py::object& files, const py::kwargs& kwargs) {
  C settings = ParseOptions<C>("convert_bytes", kwargs, kConvertOptions);
  GiveFiles(files, settings);
  Source source(data, "data");
  const bool texture_options = !settings.texture_paths.empty() ||
                               !settings.texture_choices.empty() || settings.require_textures;
  const fs::path model_file = ModelFile(source, model_path, texture_options, "convert_bytes");
  settings.resolve_textures = !model_file.empty();
  const torvik::ConversionReport report = WithoutGil(model_file.string(), [&] {
    return torvik::ConvertModel(source.Bytes(), model_file, settings);
  });
  Warn(report.warnings);
  return BmfBytesOf(report.bmf, report.images);
}

py::bytes ToGltf(const py::object& src, const py::object& model_path, const py::object& files,
                 const py::kwargs& kwargs) {
  G settings = ParseOptions<G>("to_gltf", kwargs, kGltfOptions);
  GiveFiles(files, settings);
  Source source(src, "src");
  const fs::path model_file =
      ModelFile(source, model_path,
                !settings.texture_paths.empty() || !settings.texture_choices.empty(), "to_gltf");
  settings.resolve_textures = !model_file.empty();
  // Ctrl-C (and any other signal Python handles) stops the export: the
  // handler runs with the GIL, and its exception ends the work.
  settings.cancelled = [] {
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    return false;
  };
  const torvik::GltfConversion gltf = WithoutGil(model_file.string(), [&] {
    return torvik::ConvertSceneToGltf(source.Bytes(), model_file, settings);
  });
  Warn(gltf.warnings);
  return BytesOf(gltf.glb);
}

py::object ReadBmf(const py::object& path_or_bytes, const py::kwargs& kwargs) {
  const B settings = ParseOptions<B>("read_bmf", kwargs, kBmfOptions);
  Source source(path_or_bytes, "path_or_bytes");
  torvik::BmfFile file;
  std::vector<torvik::TextureResolution> textures;
  WithoutGil(source.Subject(), [&] {
    file = torvik::ReadBmf(source.Bytes());
    std::vector<std::string> names;
    for (const torvik::BmfBlock& block : file.blocks) names.push_back(block.TextureName());
    if (source.IsFile()) textures = ResolveNames(names, source.Path(), {});
    return true;
  });
  return BmfModelOf(std::move(file), textures, settings.names);
}

py::object Read3ds(const py::object& src, const py::object& model_path, const py::kwargs& kwargs) {
  const R settings = ParseOptions<R>("read_3ds", kwargs, kReadOptions);
  Source source(src, "src");
  const fs::path model_file =
      ModelFile(source, model_path,
                !settings.texture_paths.empty() || !settings.texture_choices.empty(), "read_3ds");
  SceneFacts facts;
  facts.applied = settings.keyframer;
  torvik::H3dsScene scene = WithoutGil(model_file.string(), [&] {
    torvik::H3dsScene read =
        torvik::HRead3dsScene(source.Bytes(), {.smoothing_groups = true,
                                               .keep_file_winding = settings.keep_file_winding,
                                               .keyframer = true,
                                               .threads = settings.threads});
    const torvik::ScenePlacement placement = torvik::PlaceScene(read, settings.names);
    facts.effect = torvik::MeasureKeyframer(read, placement);
    facts.warnings = placement.warnings;
    if (settings.keyframer) torvik::DrawPlacedMeshes(read, placement, settings.max_placed_faces);
    if (settings.orient_outward) torvik::OrientOutward(read);
    std::vector<std::string> names;
    for (const torvik::H3dsMat& material : read.material)
      names.push_back(material.texture.texturename);
    facts.textures = ResolveNames(names, model_file,
                                  SearchOptions(settings.texture_paths, settings.texture_choices));
    return read;
  });
  return SceneOf(std::move(scene), facts, settings.names);
}

}  // namespace

PYBIND11_MODULE(_native, module) {
  module.doc() = "The native part of torvik32c: import torvik32c instead.";
  module.attr("__version__") = TORVIK_VERSION;
  py::dict options;
  options["convert"] = OptionNames<C>(kConvertOptions);
  options["convert_bytes"] = OptionNames<C>(kConvertOptions);
  options["read_3ds"] = OptionNames<R>(kReadOptions);
  options["to_gltf"] = OptionNames<G>(kGltfOptions);
  options["read_bmf"] = OptionNames<B>(kBmfOptions);
  module.attr("OPTIONS") = options;

  module.def("convert", &Convert, py::arg("src"), py::arg("dest"),
             R"(Converts the model file src into the BMF file dest, as 3ds2bmf does.

src is a 3DS, glTF 2.0 (.glb, or .gltf with its files beside it) or
Wavefront OBJ file (with its .mtl), told by its content.  The images stored
inside a glTF are written beside dest under the file names its texture
names give them, as 3ds2bmf writes them: never over a file of other
contents or a symbolic link (a warning says so, and the BMF is written all
the same); Conversion.images says where each lies.

The BMF is written to a temporary file beside dest that replaces it only
when complete: a failure leaves dest as it was.  Returns a Conversion (the
figures 3ds2bmf -v and --json give, the textures found beside src and the
warnings).  Raises ValueError when dest is src itself (by the same name,
another spelling of it, a symbolic or a hard link), before anything is
read or written, and a torvik32c.Error: DamagedFileError (with chunk,
chunk_offset and offset), FileAccessError, TooLargeError, TextureError...

Options (keyword only), those of 3ds2bmf: keyframer, keep_file_winding,
smoothing_groups, as_authored (these four 3DS files only: ValueError for
another format), orient_outward, file_normals (a glTF's or OBJ's stored
normals kept; ValueError for a 3DS file), max_placed_faces (the most
faces and vertices keyframer may draw), texture_paths (folders),
textures ({stored name: file}), require_textures, threads (0: the cores),
name_encoding (how stored names that are not UTF-8 read: "windows-1252",
the default, "utf-8", or any encoding iconv knows, such as "shift_jis").
The GIL is released while the file is read, converted and written.)");
  module.def("convert_bytes", &ConvertBytes, py::arg("data"), py::kw_only(),
             py::arg("model_path") = py::none(), py::arg("files") = py::none(),
             R"(Converts the bytes of a 3DS, glTF or OBJ file; returns the BMF's bytes.

They are the bytes convert() writes.  model_path says where the model lies,
for its textures (needed by the texture options) and for the files a glTF
or OBJ names beside it; files ({path relative to the model's folder:
bytes}) gives those instead (a .gltf's buffers and images, an OBJ's .mtl).
The result is bytes (a torvik32c.BmfBytes) whose images lists those
stored inside a glTF, which nothing writes: the BMF names them, so put
each beside it under its file_name, as convert() does.
Warnings are issued as torvik32c.ConversionWarning.  Options as for
convert().)");
  module.def("to_gltf", &ToGltf, py::arg("src"), py::kw_only(), py::arg("model_path") = py::none(),
             py::arg("files") = py::none(),
             R"(The scene of a 3DS file (a path, or bytes) as binary glTF (.glb bytes).

Of a glTF or OBJ file, a plain copy of its scene as read, as 3ds2bmf --gltf
makes it (files as for convert_bytes()).

The scene as its author made it, the bytes 3ds2bmf --gltf writes: a node
per keyframer node, a mesh per 3DS mesh, the file's winding, smoothing
groups, the animation, cameras and lights, and the file of every map of
every material found beside the file (or model_path) for its kind and
embedded.  What 3ds2bmf --gltf warns of (a map missing, an image that does
not decode) is issued as torvik32c.ConversionWarning.  Options:
orient_outward (as 3ds2bmf --gltf --orient-outward), texture_paths,
textures, fps (the animation's frames per second, 1 to 1000, as --fps),
threads, name_encoding.)");
  module.def("read_bmf", &ReadBmf, py::arg("path_or_bytes"),
             R"(Reads a BMF file (a path, or bytes): a BmfModel of Blocks with numpy arrays.

Each block's vertices are one (V, 8) float32 array (u v i j k x y z, as
stored) with positions, normals and uvs as views of it, and its triangles
a (T, 3) uint16 array; violations lists every broken layout rule (as
bmftool validate).  Raises DamagedFileError for a truncated file.
Option: name_encoding, for the blocks' texture names.)");
  module.def("read_3ds", &Read3ds, py::arg("src"), py::kw_only(),
             py::arg("model_path") = py::none(),
             R"(Reads a 3DS file (a path, or bytes): its Scene, meshes as numpy arrays.

Meshes in the file's axes (z up) with their stored positions, uvs, faces,
face flags, smoothing groups and material groups; the materials, the
textures found, and the keyframer's nodes with what they change.
Options: keyframer (meshes where the keyframer places them, once per
instance), keep_file_winding, as_authored, orient_outward, max_placed_faces,
texture_paths, textures, threads, name_encoding.)");
}
