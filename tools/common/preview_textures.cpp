#include "preview_textures.h"

#include <algorithm>
#include <exception>
#include <map>

#include "images/image_file.h"
#include "texture_image.h"
#include "torvik32c/reports.h"

namespace images = torvik::images;

std::vector<const Image*> PreviewTextures::Pointers() const {
  std::vector<const Image*> pointers;
  for (const auto& image : blocks) pointers.push_back(image.get());
  return pointers;
}

std::vector<std::string> BlockTextureNames(const torvik::BmfFile& file) {
  std::vector<std::string> names;
  for (const torvik::BmfBlock& block : file.blocks) names.push_back(block.TextureName());
  return torvik::DistinctTextureNames(names);
}

PreviewTextures LoadPreviewTextures(const torvik::BmfFile& file,
                                    const std::vector<torvik::TextureResolution>& textures,
                                    bool report_missing, std::uint64_t budget_bytes,
                                    const torvik::NameDecoder& names) {
  PreviewTextures result;
  std::map<std::string, std::shared_ptr<const Image>> by_name;
  // Names that resolve to one file share its image, decoded once; a file
  // that failed is reported under the first name that led to it.
  std::map<std::filesystem::path, std::shared_ptr<const Image>> by_file;
  images::TextureBudget budget(budget_bytes);
  for (const torvik::TextureResolution& texture : textures) {
    const std::string name = "texture " + torvik::QuotedName(texture.name, names);
    if (!texture.found()) {
      if (report_missing)
        result.problems.push_back(name + " not found, drawn in its diffuse colour");
      continue;
    }
    const auto [known, added] = by_file.try_emplace(images::ImageFileKey(*texture.path));
    if (added) {
      try {
        const std::vector<std::uint8_t> bytes = images::ReadImageFile(*texture.path);
        const images::ImageHeader header = images::ReadImageHeader(bytes);
        budget.Require(images::DecodedBytes(header, 3));
        known->second = std::make_shared<const Image>(PreviewImage(bytes, header));
      } catch (const std::exception& error) {
        result.problems.push_back(name + ": " + torvik::ShownPath(*texture.path) + ": " +
                                  error.what() + ", drawn in its diffuse colour");
      }
    }
    by_name[texture.name] = known->second;
  }
  for (const torvik::BmfBlock& block : file.blocks) {
    const auto image = by_name.find(block.TextureName());
    result.blocks.push_back(image != by_name.end() ? image->second : nullptr);
  }
  return result;
}
