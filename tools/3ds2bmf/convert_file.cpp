#include "convert_file.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <new>

#include "output_paths.h"
#include "png_file.h"
#include "preview_renderer.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"

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
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
}

}  // namespace

std::string PreviewPath(const std::string& output) { return WithExtension(output, ".bmf", ".png"); }

FileResult ConvertFile(const std::string& input, const std::string& output,
                       const FileSettings& settings) {
  FileResult result;
  result.input = input;
  result.output = output;
  result.error_path = input;
  const auto start = std::chrono::steady_clock::now();
  const bool to_stdout = output == kStandardOutput;
  bool bmf_written = false;
  try {
    torvik::StopIfCancelled(settings.cancel);
    torvik::Model model;
    torvik::ConversionStats conversion;
    model = torvik::convert_to_outgl(
        torvik::ReadSceneFile(input, {.smoothing_groups = settings.smoothing_groups,
                                      .keep_file_winding = settings.keep_file_winding}),
        &conversion,
        {.smoothing_groups = settings.smoothing_groups,
         .cancel = settings.cancel,
         .threads = settings.threads});
    result.error_path = to_stdout ? "standard output" : output;
    torvik::BmfStats written;
    if (to_stdout) {
      torvik::StopIfCancelled(settings.cancel);
      WriteStandardOutput(torvik::OutGLBMFBytes(model, &written));
    } else {
      torvik::OutGLBMF(model, output, &written, settings.cancel);
    }
    bmf_written = true;
    result.blocks = written.blocks;
    result.vertices = written.vertices;
    result.triangles = written.triangles;
    result.degenerate = conversion.degenerate_dropped;
    result.default_material = conversion.default_material_added;
    if (settings.preview && (to_stdout || !IsRegularFile(output))) {
      result.notes.push_back(result.error_path +
                             ": no preview: the BMF did not go to a regular file");
    } else if (settings.preview) {
      // Drawn from the file as written, so the picture shows what a host loads.
      result.error_path = PreviewPath(output);
      const Image image = RenderPreview(torvik::ReadBmfFile(output));
      torvik::StopIfCancelled(settings.cancel);
      WritePng(result.error_path, image);
      result.preview = result.error_path;
    }
    result.ok = true;
  } catch (const torvik::Cancelled&) {
    result.cancelled = true;
    result.preview_unfinished = bmf_written;
    result.error = bmf_written
                       ? "interrupted: the BMF " + output + " is complete, this preview is not"
                       : "interrupted";
  } catch (const torvik::ModelTooLarge& error) {
    result.error = std::string("model too large for BMF: ") + error.what();
  } catch (const std::bad_alloc&) {
    result.error = "out of memory";
  } catch (const std::exception& error) {
    result.error = error.what();
  }
  result.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return result;
}
