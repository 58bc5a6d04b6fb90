#include "commands.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>

#include "input_bytes.h"
#include "interruption.h"
#include "model_info.h"
#include "obj_export.h"
#include "output_paths.h"
#include "png_file.h"
#include "preview_textures.h"
#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"
#include "torvik32c/file_identity.h"
#include "torvik32c/gltf_export.h"
#include "torvik32c/reports.h"
#include "torvik32c/texture_finder.h"
#include "validation_json.h"

namespace {

// How many violations validate prints per file without --all.
constexpr std::size_t kViolationsShown = 20;

// "bmftool: PATH: reason", the reason's names and paths shown already.
void PrintError(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "bmftool: %s: %s\n", torvik::ShownText(path).c_str(), reason.c_str());
}

// Whether the bytes start like a 3DS file (its main chunk 0x4D4D).
bool LooksLike3ds(const std::vector<torvik::byte>& bytes) {
  return bytes.size() >= 2 && bytes[0] == 0x4D && bytes[1] == 0x4D;
}

// Why a stream that BmfStreamContent stopped at its header is no BMF file,
// or "": its strip flag is not 0.
std::string StoppedStreamFault(const std::string& path, const std::vector<torvik::byte>& bytes) {
  if (bytes.size() != 4 || (bytes[2] == 0 && bytes[3] == 0) || IsRegularInput(path)) return "";
  return "not a BMF file: its strip flag is " + std::to_string(bytes[2] | bytes[3] << 8) +
         ", not 0 (a stream is read no further)";
}

// Reads a file, or says why it can't: on standard error, and in `reason`.
// The file is read once, so that standard input or a pipe can be one; a
// stream is read to the end of its last block, the bytes after it counted.
std::optional<torvik::BmfFile> Load(const std::string& path, std::string* reason = nullptr) {
  std::vector<torvik::byte> bytes;
  try {
    std::uint64_t rest = 0;
    bytes = ReadInputBytes(path, &InterruptionFlag(), torvik::BmfStreamContent(), &rest);
    if (std::string fault = StoppedStreamFault(path, bytes); !fault.empty())
      throw std::runtime_error(fault);
    torvik::BmfFile file = torvik::ReadBmf(bytes);
    file.trailing_bytes += static_cast<std::size_t>(rest);
    return file;
  } catch (const std::exception&) {
    std::string message = Interrupted() ? "interrupted" : torvik::FailureReason();
    if (LooksLike3ds(bytes))
      message = "not a BMF file: it looks like a 3DS file, which 3ds2bmf converts into BMF";
    PrintError(path, message);
    if (reason != nullptr) *reason = message;
    return std::nullopt;
  }
}

// Reads a file whose triangles are all drawable: an index outside its
// block would silently drop triangles from an export.
std::optional<torvik::BmfFile> LoadDrawable(const std::string& path) {
  std::optional<torvik::BmfFile> file = Load(path);
  if (!file) return file;
  for (const torvik::BmfViolation& violation : torvik::ValidateBmf(*file)) {
    if (violation.rule == torvik::BmfRule::index_range) {
      PrintError(path, torvik::DescribeViolation(violation));
      return std::nullopt;
    }
  }
  return file;
}

void WriteText(const std::string& path, const std::string& text) {
  torvik::WriteFileReplacing(
      path, std::span(reinterpret_cast<const torvik::byte*>(text.data()), text.size()));
}

std::string ObjPath(const Arguments& arguments, const std::string& path) {
  return arguments.output.value_or(WithExtension(path, ".bmf", ".obj"));
}

std::string GltfPath(const Arguments& arguments, const std::string& path) {
  return arguments.output.value_or(WithExtension(path, ".bmf", ".glb"));
}

std::string PngPath(const Arguments& arguments, const std::string& path) {
  return arguments.output.value_or(WithExtension(path, ".bmf", ".png"));
}

// The files the command writes for the input `path`.
std::vector<std::string> FilesWritten(const Arguments& arguments, const std::string& path) {
  switch (arguments.command) {
    case Command::obj: {
      const std::string obj = ObjPath(arguments, path);
      return {obj, WithExtension(obj, ".obj", ".mtl")};
    }
    case Command::gltf:
      return torvik::GltfFiles(GltfPath(arguments, path));
    case Command::png:
      return {PngPath(arguments, path)};
    default:
      return {};
  }
}

// The file's texture names resolved as the command sees them: in the
// folders given, with the user's choices, never taking the command's outputs.
std::vector<torvik::TextureResolution> TexturesOf(const Arguments& arguments,
                                                  const torvik::BmfFile& file,
                                                  const std::string& path) {
  torvik::TextureSearchOptions search;
  search.extra_folders = arguments.texture_paths;
  search.choices = arguments.texture_choices;
  search.cancel = &InterruptionFlag();
  for (const std::string& output : FilesWritten(arguments, path))
    search.outputs.emplace_back(output);
  return torvik::ResolveTextures(BlockTextureNames(file), path, search);
}

// What each block's map_Kd names: the texture found, relative to the OBJ's
// folder; the stored name when it was not found.
std::vector<std::string> TextureFilesFor(const torvik::BmfFile& file,
                                         const std::vector<torvik::TextureResolution>& textures,
                                         const std::filesystem::path& obj_folder) {
  std::vector<std::string> files;
  for (const torvik::BmfBlock& block : file.blocks) {
    std::string name;
    for (const torvik::TextureResolution& texture : textures) {
      if (texture.name != block.TextureName() || !texture.found()) continue;
      const std::filesystem::path found = std::filesystem::absolute(*texture.path);
      const std::filesystem::path relative =
          found.lexically_relative(std::filesystem::absolute(obj_folder));
      name = (relative.empty() ? found : relative).generic_string();
    }
    files.push_back(name);
  }
  return files;
}

}  // namespace

std::string CheckOutputs(const Arguments& arguments) {
  torvik::InputFiles inputs;
  for (const std::string& path : arguments.files) inputs.Add(path);
  std::set<std::string> seen;
  for (const std::string& path : arguments.files) {
    for (const std::string& file : FilesWritten(arguments, path)) {
      if (inputs.Contains(file))
        return "the output " + torvik::ShownText(file) + " is one of the input files";
      if (!seen.insert(torvik::FileKey(file)).second)
        return "two outputs would both be written to " + torvik::ShownText(file);
    }
  }
  return "";
}

int RunInfo(const Arguments& arguments) {
  int status = 0;
  for (const std::string& path : arguments.files) {
    std::string reason;
    const std::optional<torvik::BmfFile> file = Load(path, &reason);
    if (!file) {
      status = 1;
      if (arguments.json) std::printf("%s\n", InfoErrorJson(path, reason).c_str());
      continue;
    }
    if (!torvik::ValidateBmf(*file).empty()) status = 1;
    const std::vector<torvik::TextureResolution> textures = TexturesOf(arguments, *file, path);
    if (arguments.json)
      std::printf("%s\n",
                  InfoJson(path, *file, textures, arguments.overdraw, arguments.names).c_str());
    else
      std::fputs(InfoText(path, *file, textures, arguments.overdraw, arguments.names).c_str(),
                 stdout);
    std::fflush(stdout);
  }
  return status;
}

int RunValidate(const Arguments& arguments) {
  int status = 0;
  for (const std::string& path : arguments.files) {
    std::string reason;
    const std::optional<torvik::BmfFile> file = Load(path, &reason);
    if (!file) {
      status = 1;
      if (arguments.json) std::printf("%s\n", InfoErrorJson(path, reason).c_str());
      continue;
    }
    const std::vector<torvik::BmfViolation> violations = torvik::ValidateBmf(*file);
    if (arguments.json) {
      std::printf("%s\n", ValidationJson(path, *file, violations).c_str());
      std::fflush(stdout);
      if (!violations.empty()) status = 1;
      continue;
    }
    if (violations.empty()) {
      std::printf("%s: valid, %s\n", torvik::ShownText(path).c_str(),
                  torvik::Counted(file->blocks.size(), "block").c_str());
      continue;
    }
    status = 1;
    const std::size_t shown =
        arguments.all ? violations.size() : std::min(violations.size(), kViolationsShown);
    for (std::size_t i = 0; i < shown; ++i)
      PrintError(path, torvik::DescribeViolation(violations[i]));
    if (shown < violations.size())
      PrintError(path, "and " + torvik::Counted(violations.size() - shown, "more violation") +
                           " (--all shows them)");
  }
  return status;
}

// Runs `write` on every file that loads and can be drawn; `write` names the
// file it writes in `out_path` and throws when it can't.  Exit status 1 when
// any file failed.
template <class Write>
int ForEachDrawable(const Arguments& arguments, Write&& write) {
  int status = 0;
  for (const std::string& path : arguments.files) {
    if (Interrupted()) return InterruptedExitStatus();
    const std::optional<torvik::BmfFile> file = LoadDrawable(path);
    if (!file) {
      status = 1;
      continue;
    }
    std::string out_path;
    try {
      write(path, *file, out_path);
    } catch (const torvik::Cancelled&) {
      return InterruptedExitStatus();
    } catch (const torvik::IoError& error) {
      PrintError(error.path, error.what());
      status = 1;
    } catch (const std::exception&) {
      PrintError(out_path, torvik::FailureReason());
      status = 1;
    }
  }
  return status;
}

int RunObj(const Arguments& arguments) {
  return ForEachDrawable(
      arguments, [&](const std::string& path, const torvik::BmfFile& file, std::string& out_path) {
        const std::string obj_path = ObjPath(arguments, path);
        const std::string mtl_path = WithExtension(obj_path, ".obj", ".mtl");
        const ObjText text =
            ExportObj(file, FileName(mtl_path),
                      TextureFilesFor(file, TexturesOf(arguments, file, path), FolderOf(obj_path)),
                      arguments.keep_axes ? torvik::ExportAxes::bmf : torvik::ExportAxes::authored,
                      arguments.names);
        out_path = mtl_path;
        WriteText(mtl_path, text.mtl);
        out_path = obj_path;
        WriteText(obj_path, text.obj);
      });
}

int RunGltf(const Arguments& arguments) {
  return ForEachDrawable(
      arguments, [&](const std::string& path, const torvik::BmfFile& file, std::string& out_path) {
        out_path = GltfPath(arguments, path);
        torvik::GltfOptions options;
        options.find_texture = torvik::ResolvedTextures(TexturesOf(arguments, file, path));
        options.names = arguments.names;
        for (const std::string& warning : torvik::WriteGltf(file, out_path, options))
          PrintError(out_path, "warning: " + warning);
      });
}

int RunPng(const Arguments& arguments) {
  return ForEachDrawable(
      arguments, [&](const std::string& path, const torvik::BmfFile& file, std::string& out_path) {
        PreviewTextures textures;
        if (arguments.textures) {
          textures = LoadPreviewTextures(file, TexturesOf(arguments, file, path), true,
                                         torvik::images::kModelTextureBudget, arguments.names);
          for (const std::string& problem : textures.problems) PrintError(path, problem);
        }
        out_path = PngPath(arguments, path);
        WritePng(out_path, RenderPreview(file, arguments.preview, textures.Pointers()));
      });
}
