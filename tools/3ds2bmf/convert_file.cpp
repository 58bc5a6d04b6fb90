#include "convert_file.h"

#include <chrono>
#include <exception>
#include <new>
#include <stdexcept>

#include "output_paths.h"
#include "png_file.h"
#include "preview_renderer.h"
#include "preview_textures.h"
#include "texture_copy.h"
#include "texture_report.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"

namespace {

// Resolves the model's texture names and notes what is missing or
// ambiguous; throws when the settings require every texture.
void ResolveModelTextures(const torvik::Model& model, const FileSettings& settings,
                          FileResult& result) {
  std::vector<std::string> names;
  for (const torvik::POLYGONLIST& material : model.PolyList) names.push_back(material.texturename);
  result.textures =
      ResolveTextures(DistinctTextureNames(names), result.input, settings.texture_paths);
  std::size_t problems = 0;
  for (const torvik::TextureResolution& texture : result.textures) {
    std::string problem = TextureProblem(texture);
    if (problem.empty()) continue;
    ++problems;
    result.warnings.push_back(std::move(problem));
  }
  if (settings.require_textures && problems != 0)
    throw std::runtime_error(std::to_string(problems) + " of " +
                             std::to_string(result.textures.size()) +
                             " textures missing or ambiguous (--require-textures)");
}

void CopyModelTextures(FileResult& result) {
  const std::filesystem::path folder = std::filesystem::path(result.output).parent_path();
  for (const torvik::TextureResolution& texture : result.textures) {
    TextureCopy copy = CopyTexture(texture, folder);
    result.copied.push_back(copy.copied);
    if (!copy.problem.empty()) result.warnings.push_back(std::move(copy.problem));
  }
}

}  // namespace

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
    ResolveModelTextures(model, settings, result);
    result.error_path = output;
    torvik::BmfStats written;
    torvik::OutGLBMF(model, output, &written);
    result.blocks = written.blocks;
    result.vertices = written.vertices;
    result.triangles = written.triangles;
    result.degenerate = conversion.degenerate_dropped;
    result.default_material = conversion.default_material_added;
    if (settings.copy_textures) CopyModelTextures(result);
    if (settings.preview) {
      // Drawn from the file as written, so the picture shows what a host loads.
      result.error_path = WithExtension(output, ".bmf", ".png");
      const torvik::BmfFile file = torvik::ReadBmfFile(output);
      PreviewTextures textures;
      if (settings.preview_textures) {
        textures = LoadPreviewTextures(file, result.textures, false);
        for (std::string& problem : textures.problems)
          result.warnings.push_back(std::move(problem));
      }
      WritePng(result.error_path, RenderPreview(file, {}, textures.Pointers()));
      result.preview = result.error_path;
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
