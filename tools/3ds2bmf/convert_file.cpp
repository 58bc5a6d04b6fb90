#include "convert_file.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "input_bytes.h"
#include "model_input.h"
#include "output_paths.h"
#include "png_file.h"
#include "preview_renderer.h"
#include "preview_textures.h"
#include "texture_copy.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"
#include "torvik32c/gltf_export.h"
#include "torvik32c/reports.h"
#include "torvik32c/texture_finder.h"
#include "triangle_order.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

void WriteStandardOutput(const std::vector<torvik::byte>& bytes) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
      std::fflush(stdout) != 0)
    throw torvik::IoError(torvik::Error::Kind::write_failed, kStandardOutput,
                          "error writing to standard output");
}

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace

torvik::ReadOptions SceneReadOptions(const FileSettings& settings) {
  return {.smoothing_groups = settings.smoothing_groups,
          .keep_file_winding = settings.keep_file_winding,
          .keyframer = settings.keyframer || settings.report_keyframer || settings.report_scene,
          .animation = settings.report_scene,
          .cameras_and_lights = settings.report_scene,
          .threads = settings.threads,
          .names = settings.names};
}

namespace {

// Notes "PATH: message", the message's names and paths shown already.
void AddNote(FileResult& result, const std::string& path, const std::string& message) {
  result.notes.push_back(torvik::ShownText(path) + ": " + message);
}

// Resolves the model's texture names and notes what is missing or
// ambiguous; throws when the settings require every texture.
void ResolveModelTextures(const torvik::Model& model, const FileSettings& settings,
                          FileResult& result) {
  std::vector<std::string> names;
  for (const torvik::POLYGONLIST& material : model.PolyList())
    names.push_back(material.texturename);
  result.textures = torvik::ResolveTextures(torvik::DistinctTextureNames(names), result.input,
                                            TextureSearchFor(result.output, settings));
  std::size_t problems = 0;
  for (const torvik::TextureResolution& texture : result.textures) {
    std::string problem =
        torvik::TextureProblem(texture, !settings.require_textures, settings.names);
    if (problem.empty()) continue;
    ++problems;
    AddNote(result, result.input, problem);
  }
  if (settings.require_textures && problems != 0)
    throw std::runtime_error(std::to_string(problems) + " of " +
                             std::to_string(result.textures.size()) +
                             " textures missing or ambiguous (--require-textures)");
}

// Measures the keyframer of a 3DS scene read already and, when asked, draws
// the meshes where it places them.
void ApplyKeyframer(const std::string& input, torvik::H3dsScene& scene,
                    const FileSettings& settings, FileResult& result) {
  if (settings.report_scene)
    result.contents =
        torvik::MeasureSceneContents(scene, torvik::PlaceScene(scene, settings.names));
  if (!settings.keyframer && !settings.report_keyframer) return;
  result.keyframer = torvik::KeyframerEffect{};
  if (scene.nodes.empty() && scene.keyframer_warnings.empty()) return;
  torvik::KeyframerEffect effect;
  for (const std::string& note : torvik::ApplyKeyframer(scene, settings.keyframer, effect,
                                                        settings.names, settings.max_placed_faces))
    AddNote(result, input, note);
  result.keyframer = effect;
}

// The images stored inside an imported model go beside the BMF as files,
// which its texture names name: the texture search takes them as given.
void PlanEmbeddedImages(const torvik::ImportedScene& imported, FileSettings& settings,
                        FileResult& result) {
  if (imported.images.empty()) return;
  if (result.output == kStandardOutput) {
    AddNote(result, result.input,
            "the images stored inside it are not written: the BMF goes to standard output");
    return;
  }
  const std::filesystem::path folder = FolderOf(result.output);
  std::vector<torvik::TextureChoice> choices;
  for (const torvik::EmbeddedImage& image : imported.images)
    choices.push_back({image.texture_name, folder / image.file_name});
  settings.texture_choices.insert(settings.texture_choices.begin(), choices.begin(), choices.end());
}

void WriteEmbeddedImages(const std::vector<torvik::EmbeddedImage>& images,
                         const FileSettings& settings, FileResult& result) {
  const std::filesystem::path folder = FolderOf(result.output);
  for (const torvik::EmbeddedImage& image : images) {
    const TextureCopy written = WriteEmbeddedImage(image, folder, settings.batch, result.input);
    if (!written.problem.empty()) AddNote(result, result.input, written.problem);
    if (written.copied) result.embedded.push_back((folder / image.file_name).string());
  }
}

// Writes the scene glTF of `scene` (as authored) beside the BMF.
void WriteGltf(const std::string& input, const torvik::H3dsScene& scene,
               const FileSettings& settings, FileResult& result) {
  const torvik::ScenePlacement placement = torvik::PlaceScene(scene, settings.names);
  // With --keyframer the BMF's conversion noted them already.
  if (!settings.keyframer)
    for (const std::string& warning : placement.warnings)
      AddNote(result, result.error_path, "warning: " + warning);
  torvik::GltfOptions gltf_options;
  std::vector<torvik::TextureResolution> files = result.textures;
  for (torvik::TextureResolution& file : torvik::DistinctMapFiles(*result.maps))
    files.push_back(std::move(file));
  gltf_options.find_texture = torvik::ResolvedTextures(std::move(files));
  gltf_options.report_missing = false;  // noted above
  gltf_options.orient_outward = settings.orient_outward;
  gltf_options.frames_per_second = static_cast<double>(settings.frames_per_second);
  // Named after the input (the output's name for standard input).
  gltf_options.animation_name =
      std::filesystem::path(input == "-" ? result.output : input).stem().string();
  gltf_options.names = settings.names;
  gltf_options.threads = settings.threads;
  for (const std::string& warning :
       torvik::WriteSceneGltf(scene, placement, result.error_path, gltf_options))
    AddNote(result, result.error_path, "warning: " + warning);
  result.gltf = result.error_path;
}

// Resolves the files of the materials' maps and notes those of other kinds
// than texture 1 that are missing or ambiguous (texture 1's were noted).
void ResolveModelMaps(const std::vector<torvik::H3dsMat>& materials, const FileSettings& settings,
                      FileResult& result) {
  result.maps = torvik::ResolveMaterialMaps(materials, result.input,
                                            TextureSearchFor(result.output, settings));
  for (const std::string& problem : torvik::MapFileProblems(*result.maps, settings.names))
    AddNote(result, result.input, problem);
}

// A map whose stored name is also texture 1's, or an earlier map's, with
// another file (the bump map BRICKWAL.PNG of brickwall_bump.png beside the
// texture BRICKWAL.PNG of brickwall.png) is copied under its file's own
// name, so that neither copy takes the other's place.
void CopyModelTextures(const FileSettings& settings, FileResult& result) {
  const std::filesystem::path folder = FolderOf(result.output);
  std::vector<const torvik::TextureResolution*> copied;
  const auto copy = [&](const torvik::TextureResolution& file) {
    std::string as;
    for (const torvik::TextureResolution* earlier : copied)
      if (file.found() && earlier->found() && earlier->name == file.name &&
          *earlier->path != *file.path)
        as = file.path->filename().string();
    const TextureCopy made =
        CopyTexture(file, folder, settings.batch, result.input, settings.names, as);
    if (!made.problem.empty()) AddNote(result, result.input, made.problem);
    copied.push_back(&file);
    return made.copied;
  };
  for (const torvik::TextureResolution& texture : result.textures)
    result.copied.push_back(copy(texture));
  if (!result.maps) return;
  const std::vector<torvik::TextureResolution> files = torvik::DistinctMapFiles(*result.maps, true);
  for (const torvik::TextureResolution& file : files) result.map_copies.emplace_back(file, false);
  for (std::size_t i = 0; i < files.size(); ++i) result.map_copies[i].second = copy(files[i]);
}

}  // namespace

// A regular file is read by the library's own path; standard input, a pipe
// or a FIFO is read to the end of its main chunk first, and an interruption
// stops the wait.
torvik::H3dsScene ReadSceneInput(const std::string& input, const FileSettings& settings) {
  const torvik::ReadOptions options = SceneReadOptions(settings);
  if (IsRegularInput(input)) return torvik::ReadSceneFile(input, options);
  return torvik::HRead3dsScene(
      ReadInputBytes(input, settings.cancel, torvik::ThreeDsStreamContent()), options);
}

bool MapsUsed(const FileSettings& settings) {
  return settings.gltf || settings.preview || settings.copy_textures || settings.report_maps;
}

std::string PreviewPath(const std::string& output) { return WithExtension(output, ".bmf", ".png"); }

std::string GltfPath(const std::string& output) { return WithExtension(output, ".bmf", ".glb"); }

torvik::TextureSearchOptions TextureSearchFor(const std::string& output,
                                              const FileSettings& settings) {
  torvik::TextureSearchOptions search;
  search.extra_folders = settings.texture_paths;
  search.choices = settings.texture_choices;
  search.cancel = settings.cancel;
  if (output != kStandardOutput) {
    search.outputs.emplace_back(output);
    if (settings.preview) search.outputs.emplace_back(PreviewPath(output));
    if (settings.gltf) search.outputs.emplace_back(GltfPath(output));
  }
  return search;
}

FileResult ConvertFile(const std::string& input, const std::string& output,
                       const FileSettings& given) {
  FileResult result;
  result.input = input;
  result.output = output;
  result.error_path = input;
  const auto start = std::chrono::steady_clock::now();
  const bool to_stdout = output == kStandardOutput;
  bool bmf_written = false;
  FileSettings settings = given;
  CopyTurn turn(settings.batch, settings.index);
  try {
    torvik::StopIfCancelled(settings.cancel);
    torvik::Model model;
    torvik::ConversionStats conversion;
    // The glTF is made from the scene as authored: a 3DS file's read again
    // from the same bytes with its own options, another format's as read.
    InputModel read = ReadInputModel(input, output, settings, settings.gltf);
    std::optional<torvik::H3dsScene> gltf_scene;
    std::vector<torvik::EmbeddedImage> embedded;
    // The materials as stored, for their maps.
    std::vector<torvik::H3dsMat> materials;
    const torvik::ConvertOptions convert_options{.smoothing_groups = settings.smoothing_groups,
                                                 .cancel = settings.cancel,
                                                 .orient_outward = settings.orient_outward,
                                                 .threads = settings.threads,
                                                 .names = settings.names};
    if (read.imported) {
      torvik::ImportedScene& imported = *read.imported;
      result.format = torvik::ModelFormatName(read.format);
      if (read.format != torvik::ModelFormat::obj) result.instances = imported.instances;
      for (const std::string& warning : imported.warnings)
        AddNote(result, input, "warning: " + warning);
      PlanEmbeddedImages(imported, settings, result);
      if (!to_stdout) embedded = std::move(imported.images);
      if (MapsUsed(settings)) materials = imported.scene.material;
      if (settings.gltf) gltf_scene = imported.scene;
      model = torvik::ConvertImportedScene(std::move(imported), &conversion, convert_options);
    } else {
      ApplyKeyframer(input, read.scene, settings, result);
      if (MapsUsed(settings)) materials = read.scene.material;
      model = torvik::convert_to_outgl(std::move(read.scene), &conversion, convert_options);
    }
    if (settings.orient_outward) result.reversed = conversion.meshes_reversed;
    ResolveModelTextures(model, settings, result);
    if (MapsUsed(settings)) ResolveModelMaps(materials, settings, result);
    result.error_path = to_stdout ? "standard output" : output;
    torvik::BmfStats written;
    torvik::BmfWriteOptions write_options;
    write_options.threads = settings.threads;
    if (settings.optimize) write_options.triangle_order = GpuTriangleOrder;
    if (to_stdout) {
      torvik::StopIfCancelled(settings.cancel);
      WriteStandardOutput(torvik::OutGLBMFBytes(model, &written, write_options));
    } else {
      torvik::OutGLBMF(model, output, &written, settings.cancel, write_options);
    }
    bmf_written = true;
    WriteEmbeddedImages(embedded, settings, result);
    // Nothing below needs the model: its memory goes back before the glTF.
    model.FreeData();
    result.blocks = written.blocks;
    result.vertices = written.vertices;
    result.triangles = written.triangles;
    result.degenerate = conversion.degenerate_dropped;
    result.default_material = conversion.default_material_added;
    // Copies, the preview and the glTF need the BMF in a regular file beside
    // which they go; the preview is made from the file as written, read
    // once, so it shows what a host loads.
    const bool regular_output = !to_stdout && IsRegularFile(output);
    const auto skipped = [&](const char* what) {
      AddNote(result, result.error_path,
              std::string("no ") + what + ": the BMF did not go to a regular file");
    };
    std::optional<torvik::BmfFile> file;
    const auto written_file = [&]() -> const torvik::BmfFile& {
      if (!file) file = torvik::ReadBmfFile(output);
      return *file;
    };
    if (settings.copy_textures && !regular_output) {
      skipped("textures copied");
    } else if (settings.copy_textures) {
      turn.Wait();
      CopyModelTextures(settings, result);
    }
    turn.End();
    if (settings.preview && !regular_output) {
      skipped("preview");
    } else if (settings.preview) {
      result.error_path = PreviewPath(output);
      PreviewTextures textures;
      if (settings.preview_textures) {
        textures =
            LoadScenePreviewTextures(written_file(), BlockMaterials(model, written_file()),
                                     materials, torvik::DistinctMapFiles(*result.maps), false,
                                     torvik::images::kModelTextureBudget, settings.names);
        for (const std::string& problem : textures.problems) AddNote(result, input, problem);
      }
      const Image image = RenderPreview(written_file(), {}, textures.Pointers(), textures.surfaces);
      torvik::StopIfCancelled(settings.cancel);
      WritePng(result.error_path, image);
      result.preview = result.error_path;
    }
    if (settings.gltf && !regular_output) {
      skipped("glTF");
    } else if (settings.gltf) {
      result.error_path = GltfPath(output);
      torvik::StopIfCancelled(settings.cancel);
      if (!gltf_scene) {
        torvik::ReadOptions scene_options = torvik::SceneGltfReadOptions(settings.threads);
        scene_options.names = settings.names;
        gltf_scene = torvik::HRead3dsScene(read.bytes, scene_options);
        read.bytes = {};
      }
      WriteGltf(input, *gltf_scene, settings, result);
    }
    result.ok = true;
  } catch (const torvik::Cancelled&) {
    result.cancelled = true;
    result.preview_unfinished = bmf_written;
    result.error = bmf_written ? "interrupted: the BMF " + torvik::ShownText(output) +
                                     " is complete, this file is not"
                               : "interrupted";
  } catch (...) {
    result.error = torvik::FailureReason();
  }
  result.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return result;
}
