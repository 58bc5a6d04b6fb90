#include "convert_file.h"

#include <chrono>
#include <exception>
#include <new>

#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"

FileResult ConvertFile(const std::string& input, const std::string& output) {
  FileResult result;
  result.input = input;
  result.output = output;
  result.error_path = input;
  const auto start = std::chrono::steady_clock::now();
  try {
    torvik::Model model;
    torvik::ConversionStats conversion;
    {
      torvik::H3dsScene scene = torvik::ReadSceneFile(input);
      model = torvik::convert_to_outgl(scene, &conversion);
    }
    result.error_path = output;
    torvik::BmfStats written;
    torvik::OutGLBMF(model, output, &written);
    result.ok = true;
    result.blocks = written.blocks;
    result.vertices = written.vertices;
    result.triangles = written.triangles;
    result.degenerate = conversion.degenerate_dropped;
    result.default_material = conversion.default_material_added;
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
