#include "commands.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

#include "model_info.h"
#include "obj_export.h"
#include "output_file.h"
#include "output_paths.h"
#include "png_file.h"

namespace {

// How many violations validate prints per file without --all.
constexpr std::size_t kViolationsShown = 20;

void PrintError(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "bmftool: %s: %s\n", path.c_str(), reason.c_str());
}

// Reads a file, or prints why it can't.
std::optional<torvik::BmfFile> Load(const std::string& path) {
  try {
    return torvik::ReadBmfFile(path);
  } catch (const std::exception& error) {
    PrintError(path, error.what());
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

}  // namespace

int RunInfo(const Arguments& arguments) {
  int status = 0;
  for (const std::string& path : arguments.files) {
    const std::optional<torvik::BmfFile> file = Load(path);
    if (!file) {
      status = 1;
      continue;
    }
    if (arguments.json)
      std::printf("%s\n", InfoJson(path, *file).c_str());
    else
      std::fputs(InfoText(path, *file).c_str(), stdout);
    std::fflush(stdout);
  }
  return status;
}

int RunValidate(const Arguments& arguments) {
  int status = 0;
  for (const std::string& path : arguments.files) {
    const std::optional<torvik::BmfFile> file = Load(path);
    if (!file) {
      status = 1;
      continue;
    }
    const std::vector<torvik::BmfViolation> violations = torvik::ValidateBmf(*file);
    if (violations.empty()) {
      std::printf("%s: valid, %zu blocks\n", path.c_str(), file->blocks.size());
      continue;
    }
    status = 1;
    const std::size_t shown =
        arguments.all ? violations.size() : std::min(violations.size(), kViolationsShown);
    for (std::size_t i = 0; i < shown; ++i)
      PrintError(path, torvik::DescribeViolation(violations[i]));
    if (shown < violations.size())
      PrintError(path, "and " + std::to_string(violations.size() - shown) +
                           " more violations (--all shows them)");
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
    const std::optional<torvik::BmfFile> file = LoadDrawable(path);
    if (!file) {
      status = 1;
      continue;
    }
    std::string out_path;
    try {
      write(path, *file, out_path);
    } catch (const std::exception& error) {
      PrintError(out_path, error.what());
      status = 1;
    }
  }
  return status;
}

int RunObj(const Arguments& arguments) {
  return ForEachDrawable(
      arguments, [&](const std::string& path, const torvik::BmfFile& file, std::string& out_path) {
        const std::string obj_path = arguments.output.value_or(WithExtension(path, ".bmf", ".obj"));
        const std::string mtl_path = WithExtension(obj_path, ".obj", ".mtl");
        const ObjText text = ExportObj(file, FileName(mtl_path));
        out_path = mtl_path;
        WriteOutputFile(mtl_path, text.mtl);
        out_path = obj_path;
        WriteOutputFile(obj_path, text.obj);
      });
}

int RunPng(const Arguments& arguments) {
  return ForEachDrawable(
      arguments, [&](const std::string& path, const torvik::BmfFile& file, std::string& out_path) {
        out_path = arguments.output.value_or(WithExtension(path, ".bmf", ".png"));
        WritePng(out_path, RenderPreview(file, arguments.preview));
      });
}
