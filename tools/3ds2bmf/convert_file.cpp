#include "convert_file.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "input_bytes.h"
#include "model_input.h"
#include "output_paths.h"
#include "png_file.h"
#include "preview_renderer.h"
#include "preview_textures.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"
#include "torvik32c/model_conversion.h"
#include "torvik32c/reports.h"
#include "torvik32c/texture_copy.h"
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

// The settings of the conversion into `output` that every front end runs.
torvik::ConversionSettings ConversionOf(const std::string& input, const std::string& output,
                                        const FileSettings& settings) {
  torvik::ConversionSettings conversion;
  conversion.smoothing_groups = settings.smoothing_groups;
  conversion.keep_file_winding = settings.keep_file_winding;
  conversion.keyframer = settings.keyframer;
  conversion.max_placed_faces = settings.max_placed_faces;
  conversion.measure_keyframer = settings.report_keyframer;
  conversion.report_scene = settings.report_scene;
  conversion.orient_outward = settings.orient_outward;
  conversion.file_normals = settings.file_normals;
  conversion.texture_paths = settings.texture_paths;
  conversion.texture_choices = settings.texture_choices;
  conversion.require_textures = settings.require_textures;
  conversion.outputs = TextureSearchFor(output, settings).outputs;
  if (output != kStandardOutput) conversion.destination = output;
  if (settings.optimize) conversion.triangle_order = GpuTriangleOrder;
  conversion.frames_per_second = static_cast<double>(settings.frames_per_second);
  // The glTF's animation is named after the input (the output for
  // standard input).
  conversion.animation_name =
      std::filesystem::path(input == kStandardInput ? output : input).stem().string();
  conversion.threads = settings.threads;
  // The glTF takes the meshes the conversion made where they are its own.
  conversion.share_meshes_with_gltf = settings.gltf;
  conversion.cancel = settings.cancel;
  conversion.names = settings.names;
  return conversion;
}

// Notes "PATH: message", the message's names and paths shown already.
void AddNote(FileResult& result, const std::string& path, const std::string& message) {
  result.notes.push_back(torvik::ShownText(path) + ": " + message);
}

void AddNotes(FileResult& result, const std::vector<std::string>& warnings) {
  result.notes.insert(result.notes.end(), warnings.begin(), warnings.end());
}

// The images stored inside a glTF go beside the BMF as files, which its
// texture names name.
void WriteEmbeddedImages(const std::vector<torvik::EmbeddedImage>& images,
                         const FileSettings& settings, FileResult& result) {
  if (images.empty()) return;
  if (result.output == kStandardOutput) {
    AddNote(result, result.input,
            "the images stored inside it are not written: the BMF goes to standard output");
    return;
  }
  const torvik::EmbeddedImagesWritten written =
      torvik::WriteEmbeddedImages(images, result.output, result.input, settings.batch);
  AddNotes(result, written.warnings);
  for (const std::filesystem::path& path : written.paths)
    if (!path.empty()) result.embedded.push_back(path.string());
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
    const torvik::TextureCopy made =
        torvik::CopyTexture(file, folder, settings.batch, result.input, settings.names, as);
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
                       const FileSettings& settings) {
  FileResult result;
  result.input = input;
  result.output = output;
  result.error_path = input;
  const auto start = std::chrono::steady_clock::now();
  const bool to_stdout = output == kStandardOutput;
  bool bmf_written = false;
  torvik::CopyTurn turn(settings.batch, settings.index);
  try {
    torvik::StopIfCancelled(settings.cancel);
    const torvik::ConversionSettings conversion = ConversionOf(input, output, settings);
    std::vector<torvik::byte> bytes =
        ReadInputBytes(input, settings.cancel, torvik::ModelStreamContent());
    // The options that the input's format can't take fail it before any
    // work, --name-encoding among them.
    const torvik::ModelFormat format = torvik::DetectModelFormat(bytes, input);
    if (const std::string refused =
            torvik::RefusedSettings(format, conversion, settings.name_encoding_given);
        !refused.empty())
      throw std::runtime_error(refused);
    // What the preview draws of the model as written: the materials as
    // stored and the file with the material of each block.
    std::vector<torvik::H3dsMat> materials;
    std::optional<torvik::BmfFile> file;
    std::vector<std::size_t> material_triangles;
    const auto written = [&](const torvik::Model& model,
                             const std::vector<torvik::H3dsMat>& stored) {
      bmf_written = !to_stdout;
      if (!settings.preview || to_stdout || !IsRegularFile(output)) return;
      materials = stored;
      file = torvik::ReadBmfFile(output);
      material_triangles = MaterialTriangles(model);
    };
    const auto stage = [&](const char* name) {
      if (std::string_view(name) == "writing")
        result.error_path = to_stdout ? "standard output" : output;
    };
    // The glTF is made from the scene as authored, read again from the same
    // bytes with its own options: they are kept for it.
    const torvik::ConversionReport report = [&] {
      try {
        return settings.gltf
                   ? torvik::ConvertModel(bytes, input, conversion, stage, written)
                   : torvik::ConvertModel(std::move(bytes), input, conversion, stage, written);
      } catch (const torvik::MissingTextures& missing) {
        AddNotes(result, missing.warnings);
        throw;
      }
    }();
    AddNotes(result, report.warnings);
    if (format != torvik::ModelFormat::three_ds) result.format = torvik::ModelFormatName(format);
    if (format == torvik::ModelFormat::gltf_binary || format == torvik::ModelFormat::gltf_text)
      result.instances = report.instances;
    result.textures = report.textures;
    if (MapsUsed(settings)) result.maps = report.maps;
    if (settings.keyframer || settings.report_keyframer) result.keyframer = report.keyframer;
    result.contents = report.contents;
    if (settings.orient_outward) result.reversed = report.reversed;
    if (to_stdout) {
      WriteStandardOutput(report.bmf);
      bmf_written = true;
    }
    result.blocks = report.blocks;
    result.vertices = report.vertices;
    result.triangles = report.triangles;
    result.degenerate = report.degenerate;
    result.default_material = report.default_material;
    WriteEmbeddedImages(report.images, settings, result);
    // Copies, the preview and the glTF need the BMF in a regular file beside
    // which they go; the preview is made from the file as written, read
    // once, so it shows what a host loads.
    const bool regular_output = !to_stdout && IsRegularFile(output);
    const auto skipped = [&](const char* what) {
      AddNote(result, result.error_path,
              std::string("no ") + what + ": the BMF did not go to a regular file");
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
        const std::vector<std::size_t> block_materials =
            BlockMaterials(material_triangles, report.default_material, *file);
        textures = LoadScenePreviewTextures(*file, block_materials, materials,
                                            torvik::DistinctMapFiles(report.maps), false,
                                            torvik::images::kModelTextureBudget, settings.names);
        for (const std::string& problem : textures.problems) AddNote(result, input, problem);
      }
      const Image image = RenderPreview(*file, {}, textures.Pointers(), textures.surfaces);
      torvik::StopIfCancelled(settings.cancel);
      WritePng(result.error_path, image);
      result.preview = result.error_path;
    }
    if (settings.gltf && !regular_output) {
      skipped("glTF");
    } else if (settings.gltf) {
      result.error_path = GltfPath(output);
      AddNotes(result, torvik::ConvertSceneToGltf(std::move(bytes), input, conversion,
                                                  result.error_path, &report)
                           .warnings);
      result.gltf = result.error_path;
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
