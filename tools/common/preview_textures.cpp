#include "preview_textures.h"

#include <algorithm>
#include <exception>
#include <map>

#include "shown_name.h"
#include "texture_image.h"
#include "texture_report.h"

std::vector<const Image*> PreviewTextures::Pointers() const {
  std::vector<const Image*> pointers;
  for (const auto& image : blocks) pointers.push_back(image.get());
  return pointers;
}

std::vector<std::string> BlockTextureNames(const torvik::BmfFile& file) {
  std::vector<std::string> names;
  for (const torvik::BmfBlock& block : file.blocks) names.push_back(block.TextureName());
  return DistinctTextureNames(names);
}

PreviewTextures LoadPreviewTextures(const torvik::BmfFile& file,
                                    const std::vector<torvik::TextureResolution>& textures,
                                    bool report_missing) {
  PreviewTextures result;
  std::map<std::string, std::shared_ptr<const Image>> decoded;  // by stored name
  for (const torvik::TextureResolution& texture : textures) {
    const std::string name = "texture " + QuotedName(texture.name);
    if (!texture.found()) {
      if (report_missing)
        result.problems.push_back(name + " not found, drawn in its diffuse colour");
      continue;
    }
    try {
      decoded[texture.name] = std::make_shared<const Image>(LoadTextureImage(*texture.path));
    } catch (const std::exception& error) {
      result.problems.push_back(name + ": " + texture.path->string() + ": " + error.what() +
                                ", drawn in its diffuse colour");
    }
  }
  for (const torvik::BmfBlock& block : file.blocks) {
    const auto image = decoded.find(block.TextureName());
    result.blocks.push_back(image != decoded.end() ? image->second : nullptr);
  }
  return result;
}
