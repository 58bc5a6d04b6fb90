#include "convert_file.h"

#include <chrono>
#include <exception>
#include <new>

#include "gltf_export.h"
#include "output_paths.h"
#include "png_file.h"
#include "preview_renderer.h"
#include "texture_finder.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"

FileResult ConvertFile(const std::string& input, const std::string& output,
                       const FileSettings& settings) {
  FileResult result;
  result.input = input;
  result.output = output;
  result.error_path = input;
  const auto start = std::chrono::steady_clock::now();
  try {
    torvik::Model model;
    torvik::ConversionStats conversion;
    model = torvik::convert_to_outgl(
        torvik::ReadSceneFile(input, {.smoothing_groups = settings.smoothing_groups}), &conversion,
        {.smoothing_groups = settings.smoothing_groups});
    result.error_path = output;
    torvik::BmfStats written;
    torvik::OutGLBMF(model, output, &written);
    result.blocks = written.blocks;
    result.vertices = written.vertices;
    result.triangles = written.triangles;
    result.degenerate = conversion.degenerate_dropped;
    result.default_material = conversion.default_material_added;
    if (settings.preview || settings.gltf) {
      // Made from the file as written, so they show what a host loads.
      const torvik::BmfFile file = torvik::ReadBmfFile(output);
      if (settings.preview) {
        result.error_path = WithExtension(output, ".bmf", ".png");
        WritePng(result.error_path, RenderPreview(file));
        result.preview = result.error_path;
      }
      if (settings.gltf) {
        result.error_path = WithExtension(output, ".bmf", ".glb");
        result.warnings = WriteGltf(file, result.error_path, {TexturesBeside(input)});
        result.gltf = result.error_path;
      }
    }
    result.ok = true;
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
