#include "gltf_images.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "gltf_container.h"
#include "images/image_header.h"
#include "images/texture_budget.h"
#include "torvik32c/name_text.h"

namespace torvik::gltfload {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The last component of a stored name (after '/' or '\', a drive letter
// dropped) as a file name any system takes: control characters and those
// Windows refuses become '_', trailing dots and spaces are dropped.
std::string SafeFileName(const std::string& name) {
  std::string last = name.substr(name.find_last_of("/\\") + 1);
  if (last.size() >= 2 && last[1] == ':' && std::isalpha(static_cast<unsigned char>(last[0])))
    last.erase(0, 2);
  for (char& c : last)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
        std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
      c = '_';
  while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
  return last;
}

const char* ExtensionOf(images::ImageFormat format) {
  switch (format) {
    case images::ImageFormat::jpeg:
      return "jpg";
    case images::ImageFormat::png:
      return "png";
    case images::ImageFormat::gif:
      return "gif";
    case images::ImageFormat::bmp:
      return "bmp";
    case images::ImageFormat::tga:
      break;
  }
  return "tga";
}

}  // namespace

ImageNames::ImageNames(const LoadedGltf& gltf, std::string model_name)
    : gltf_(gltf),
      model_(gltf.model),
      stem_(std::filesystem::path(model_name.empty() ? "model" : model_name).stem().string()),
      budget_left_(images::kModelTextureBudget) {
  if (stem_.empty()) stem_ = "model";
}

std::vector<byte> ImageNames::StoredBytes(int index) const {
  const tinygltf::Image& image = model_.images[static_cast<std::size_t>(index)];
  const int view_index = gltf_.image_views[static_cast<std::size_t>(index)];
  if (view_index < 0) return image.image;
  const std::string at = "/images/" + std::to_string(index);
  if (static_cast<std::size_t>(view_index) >= model_.bufferViews.size())
    throw ImportError(kGltf, at, "names a buffer view the glTF lacks");
  const tinygltf::BufferView& view = model_.bufferViews[static_cast<std::size_t>(view_index)];
  if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= gltf_.buffers.size())
    throw ImportError(kGltf, at, "lies in a buffer the glTF lacks");
  const std::span<const unsigned char> data = gltf_.buffers[static_cast<std::size_t>(view.buffer)];
  if (view.byteOffset > data.size() || view.byteLength > data.size() - view.byteOffset)
    throw ImportError(kGltf, at, "lies past the end of its buffer");
  const std::span<const unsigned char> stored = data.subspan(view.byteOffset, view.byteLength);
  return {stored.begin(), stored.end()};
}

std::optional<std::string> ImageNames::TextureName(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= model_.images.size())
    throw ImportError(kGltf, "",
                      "a texture names image " + std::to_string(index) + ", which the glTF lacks");
  const auto known = named_.find(index);
  if (known != named_.end()) return known->second;
  const tinygltf::Image& image = model_.images[static_cast<std::size_t>(index)];
  std::optional<std::string> name;
  if (gltf_.image_views[static_cast<std::size_t>(index)] < 0 && !image.uri.empty()) {
    const std::string path = CheckedRelativePath(image.uri, true);
    if (path.empty())
      warnings_.push_back("image " + std::to_string(index) + " \"" + ShownText(image.uri) +
                          "\" is no path within the model's folder; its materials are left "
                          "untextured");
    else
      name = path;
  } else {
    name = Embedded(index, StoredBytes(index));
  }
  named_[index] = name;
  return name;
}

std::optional<std::string> ImageNames::Embedded(int index, std::vector<byte> bytes) {
  const tinygltf::Image& image = model_.images[static_cast<std::size_t>(index)];
  const std::string what = "image " + std::to_string(index) +
                           (image.name.empty() ? "" : " \"" + ShownText(image.name) + "\"");
  images::ImageHeader header;
  try {
    header = images::ReadImageHeader(bytes);
  } catch (const std::exception& error) {
    warnings_.push_back(what + ": " + error.what() + "; its materials are left untextured");
    return std::nullopt;
  }
  const std::uint64_t cost = header.Pixels() * 4;
  if (cost > budget_left_) {
    warnings_.push_back(what +
                        ": the model's textures would take more than 512 MiB of memory; "
                        "its materials are left untextured");
    return std::nullopt;
  }
  budget_left_ -= cost;
  const std::string extension = ExtensionOf(header.format);
  // A BMF stores the name up to a zero byte, as a 3DS file does.
  std::string texture_name = image.name.substr(0, image.name.find('\0'));
  std::string file = SafeFileName(texture_name);
  if (!file.empty() && file.find('.') == std::string::npos) {
    texture_name += "." + extension;
    file += "." + extension;
  }
  const auto taken = [&](const std::string& candidate) {
    return std::any_of(images_.begin(), images_.end(), [&](const EmbeddedImage& earlier) {
      return Lower(earlier.file_name) == Lower(candidate);
    });
  };
  if (file.empty() || file == "." || file == ".." || taken(file)) {
    file = stem_ + "_" + std::to_string(index) + "." + extension;
    texture_name = file;
  }
  images_.push_back({texture_name, file, std::move(bytes)});
  return texture_name;
}

}  // namespace torvik::gltfload
