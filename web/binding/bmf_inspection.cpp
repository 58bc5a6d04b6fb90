#include "bmf_inspection.h"

#include <exception>
#include <new>
#include <vector>

#include "js_values.h"
#include "torvik32c/reports.h"
#include "torvik32c/bmf_reader.h"

using emscripten::val;

namespace {

val Colour(const torvik::BMF_RGBCOLOR& colour) {
  const float channels[4] = {colour.red, colour.green, colour.blue, colour.alpha};
  return CopiedArray<float>("Float32Array", channels);
}

val BlockValue(const torvik::BmfBlock& block, const torvik::NameDecoder& names) {
  val object = val::object();
  object.set("texture", torvik::NameUtf8(block.TextureName(), names));
  object.set("ambient", Colour(block.ambient));
  object.set("diffuse", Colour(block.diffuse));
  object.set("specular", Colour(block.specular));
  static_assert(sizeof(torvik::BMF_UNVERTEX) == 8 * sizeof(float));
  static_assert(sizeof(torvik::BMF_SURFACE) == 3 * sizeof(torvik::uword));
  object.set("vertices", CopiedArray<float>("Float32Array",
                                            {reinterpret_cast<const float*>(block.vertices.data()),
                                             block.vertices.size() * 8}));
  object.set("triangles",
             CopiedArray<torvik::uword>(
                 "Uint16Array", {reinterpret_cast<const torvik::uword*>(block.triangles.data()),
                                 block.triangles.size() * 3}));
  return object;
}

}  // namespace

val InspectBmfFile(const std::string& path, const torvik::NameDecoder& names) {
  val result = val::object();
  result.set("ok", false);
  try {
    const torvik::BmfFile file = torvik::ReadBmfFile(path);
    val blocks = val::array();
    std::vector<std::string> stored;
    for (const torvik::BmfBlock& block : file.blocks) {
      blocks.call<void>("push", BlockValue(block, names));
      stored.push_back(block.TextureName());
    }
    std::vector<std::string> violations, warnings;
    for (const torvik::BmfViolation& violation : torvik::ValidateBmf(file))
      violations.push_back(torvik::DescribeViolation(violation));
    const auto textures = torvik::ResolveTextures(torvik::DistinctTextureNames(stored), path, {});
    for (const torvik::TextureResolution& texture : textures)
      if (std::string problem = torvik::TextureProblem(texture, true, names); !problem.empty())
        warnings.push_back(torvik::ShownText(path) + ": " + problem);
    result.set("stripFlag", file.strip_flag);
    result.set("trailingBytes", static_cast<double>(file.trailing_bytes));
    result.set("blocks", blocks);
    result.set("violations", StringArray(violations));
    result.set("textures", TextureValues(textures, names));
    result.set("warnings", StringArray(warnings));
    result.set("ok", true);
  } catch (const std::bad_alloc&) {
    result.set("error", std::string("out of memory"));
  } catch (const std::exception&) {
    result.set("error", torvik::FailureReason());
  }
  return result;
}
