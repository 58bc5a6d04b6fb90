// The images that the materials' base colour textures show: an image the
// glTF names by URI keeps that path as the texture name (the texture
// resolver finds it beside the model); an image stored inside the glTF
// becomes an EmbeddedImage, named for the file it is written to.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gltf_load.h"
#include "torvik32c/model_import.h"

namespace torvik::gltfload {

class ImageNames {
 public:
  // `model_name`: the model's file name, whose stem names images without a
  // name of their own.
  ImageNames(const LoadedGltf& gltf, std::string model_name);

  // The texture name of image `index`, or nothing (with a warning) when it
  // can't be used: a URI that leaves the model's folder, an image that is
  // damaged, too large or past the model's texture budget.
  std::optional<std::string> TextureName(int index);

  std::vector<EmbeddedImage> TakeImages() { return std::move(images_); }
  std::vector<std::string> TakeWarnings() { return std::move(warnings_); }

 private:
  std::optional<std::string> Embedded(int index, std::vector<byte> bytes);
  std::vector<byte> StoredBytes(int index) const;

  const LoadedGltf& gltf_;
  const tinygltf::Model& model_;
  std::string stem_;
  std::map<int, std::optional<std::string>> named_;
  std::vector<EmbeddedImage> images_;
  std::vector<std::string> warnings_;
  std::uint64_t budget_left_;
};

}  // namespace torvik::gltfload
