#include "preview_textures.h"

#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <set>
#include <variant>

#include "gltf/base_colour.h"
#include "gltf/map_deriver.h"
#include "images/image_file.h"
#include "texture_image.h"
#include "torvik32c/export_conventions.h"
#include "torvik32c/reports.h"

namespace images = torvik::images;

namespace {

// The images of one model's files, each read and decoded once within the
// model's budget: as the preview draws them (RGB), or as the image
// operations take them (RGBA).
class FileImages {
 public:
  explicit FileImages(std::uint64_t budget) : budget_(budget) {}

  // The file's image, or null with `why`.
  std::shared_ptr<const Image> Preview(const std::filesystem::path& file, std::string& why) {
    return Get(previews_, file, why, [&](const std::vector<std::uint8_t>& bytes) {
      const images::ImageHeader header = images::ReadImageHeader(bytes);
      budget_.Require(images::DecodedBytes(header, 3));
      return std::make_shared<const Image>(PreviewImage(bytes, header));
    });
  }

  images::TextureBudget& Budget() { return budget_; }

 private:
  template <class T>
  using Cache =
      std::map<std::filesystem::path, std::variant<std::shared_ptr<const T>, std::string>>;

  template <class T, class Decode>
  std::shared_ptr<const T> Get(Cache<T>& cache, const std::filesystem::path& file, std::string& why,
                               Decode&& decode) {
    const auto [known, added] = cache.try_emplace(images::ImageFileKey(file));
    if (added) {
      try {
        known->second = decode(images::ReadImageFile(file));
      } catch (const std::exception& error) {
        known->second = torvik::ShownPath(file) + ": " + error.what();
      }
    }
    if (const auto* failed = std::get_if<std::string>(&known->second)) {
      why = *failed;
      return nullptr;
    }
    return std::get<std::shared_ptr<const T>>(known->second);
  }

  images::TextureBudget budget_;
  Cache<Image> previews_;
};

// The decoded image as the preview draws it, its alpha kept when some of
// it is not opaque.
Image ImageOf(const images::DecodedImage& decoded) {
  Image image;
  image.width = static_cast<int>(decoded.width);
  image.height = static_cast<int>(decoded.height);
  const auto channels = static_cast<std::size_t>(decoded.channels);
  const std::size_t count = decoded.pixels.size() / channels;
  image.pixels.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = &decoded.pixels[i * channels];
    image.pixels.push_back({p[0], p[1], p[2]});
  }
  if (channels == 4) {
    for (std::size_t i = 0; i < count; ++i) image.alpha.push_back(decoded.pixels[i * 4 + 3]);
    if (std::all_of(image.alpha.begin(), image.alpha.end(),
                    [](std::uint8_t a) { return a == 255; }))
      image.alpha.clear();
  }
  return image;
}

const torvik::TextureResolution* Resolution(const std::vector<torvik::TextureResolution>& maps,
                                            const std::string& name, torvik::MapKind kind) {
  for (const torvik::TextureResolution& map : maps)
    if (map.name == name && map.kind == kind) return &map;
  return nullptr;
}

}  // namespace

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
  FileImages files(budget_bytes);
  std::set<std::filesystem::path> reported;
  for (const torvik::TextureResolution& texture : textures) {
    const std::string name = "texture " + torvik::QuotedName(texture.name, names);
    if (!texture.found()) {
      if (report_missing)
        result.problems.push_back(name + " not found, drawn in its diffuse colour");
      continue;
    }
    std::string why;
    by_name[texture.name] = files.Preview(*texture.path, why);
    if (!why.empty() && reported.insert(images::ImageFileKey(*texture.path)).second)
      result.problems.push_back(name + ": " + why + ", drawn in its diffuse colour");
  }
  for (const torvik::BmfBlock& block : file.blocks) {
    const auto image = by_name.find(block.TextureName());
    result.blocks.push_back(image != by_name.end() ? image->second : nullptr);
  }
  return result;
}

std::vector<std::size_t> MaterialTriangles(const torvik::Model& model) {
  std::vector<std::size_t> counts;
  for (const torvik::POLYGONLIST& material : model.PolyList())
    counts.push_back(material.NumTriangles());
  return counts;
}

std::vector<std::size_t> BlockMaterials(const std::vector<std::size_t>& material_triangles,
                                        bool default_added, const torvik::BmfFile& file) {
  std::vector<std::size_t> result;
  const std::size_t first_scene_material = default_added ? 1 : 0;
  std::size_t material = 0, placed = 0;
  for (const torvik::BmfBlock& block : file.blocks) {
    const bool scene_material =
        material >= first_scene_material && material < material_triangles.size();
    result.push_back(scene_material ? material - first_scene_material : kNoSceneMaterial);
    placed += block.triangles.size();
    if (material < material_triangles.size() && placed >= material_triangles[material]) {
      ++material;
      placed = 0;
    }
  }
  return result;
}

PreviewTextures LoadScenePreviewTextures(const torvik::BmfFile& file,
                                         const std::vector<std::size_t>& block_materials,
                                         const std::vector<torvik::H3dsMat>& materials,
                                         const std::vector<torvik::TextureResolution>& maps,
                                         bool report_missing, std::uint64_t budget_bytes,
                                         const torvik::NameDecoder& names) {
  using torvik::MapKind;
  PreviewTextures result;
  FileImages files(budget_bytes);
  std::vector<std::optional<std::pair<std::shared_ptr<const Image>, PreviewSurface>>> made(
      materials.size());
  std::set<std::string> reported;
  const auto problem = [&](const std::string& text) {
    if (reported.insert(text).second) result.problems.push_back(text);
  };
  // The images derived from the maps, each once, and each as the preview
  // draws it once.
  torvik::MapDeriver deriver(
      files.Budget(), [](const std::filesystem::path& path) { return images::ReadImageFile(path); },
      [](const std::filesystem::path& path) { return images::ImageFileKey(path).string(); });
  std::map<const torvik::DerivedMap*, std::shared_ptr<const Image>> drawn;
  const auto make = [&](const torvik::H3dsMat& mat) {
    const auto found = [&](MapKind kind, const char* noun,
                           const char* outcome) -> std::optional<std::filesystem::path> {
      const torvik::H3dsTextureMap& map = mat.Map(kind);
      if (!map.Used()) return std::nullopt;
      const torvik::TextureResolution* resolved = Resolution(maps, map.name, kind);
      if (resolved != nullptr && resolved->found()) return resolved->path;
      if (report_missing)
        problem(std::string(noun) + " " + torvik::QuotedName(map.name, names) + " not found, " +
                outcome);
      return std::nullopt;
    };
    constexpr const char* kColour = "drawn in its diffuse colour";
    constexpr const char* kOpaque = "drawn opaque";
    const auto failed = [&](MapKind kind, const std::string& why) {
      const bool texture = kind == MapKind::texture;
      problem(std::string(texture ? "texture " : "opacity map ") +
              torvik::QuotedName(mat.Map(kind).name, names) + ": " + why + ", " +
              (texture ? kColour : kOpaque));
    };
    const std::optional<std::filesystem::path> texture_file =
        found(MapKind::texture, "texture", kColour);
    const std::optional<std::filesystem::path> opacity_file =
        found(MapKind::opacity, "opacity map", kOpaque);
    PreviewSurface surface;
    surface.opacity = torvik::OpacityOfTransparency(mat.transparency);
    const torvik::MaterialBaseColour colour =
        torvik::BaseColourOf(deriver, mat, texture_file, opacity_file, surface.opacity, failed);
    const torvik::BaseColourPlan& plan = colour.plan;
    const torvik::H3dsTextureMap& placed = mat.Map(plan.placement);
    std::shared_ptr<const Image> image;
    surface.placement = torvik::MapPlacement(placed);
    surface.wrap = torvik::MapWrapOf(placed);
    if (plan.Derived() && colour.derived) {
      const torvik::DerivedMap& derived = *colour.derived;
      auto [known, added] = drawn.try_emplace(&derived);
      if (added) {
        known->second = std::make_shared<const Image>(ImageOf(derived.image));
        deriver.ReleasePixels(derived);
      }
      image = known->second;
      surface.placement = derived.PlacedAs(placed).Affine();
      surface.wrap = derived.wrap;
      if (plan.opacity) {
        surface.opacity = 1;
        surface.blend_alpha = derived.alpha == images::AlphaUse::blend;
      }
    } else if (plan.Derived()) {
      failed(plan.texture ? MapKind::texture : MapKind::opacity, colour.failure);
    } else if (plan.texture) {
      std::string why;
      if (!(image = files.Preview(*texture_file, why))) failed(MapKind::texture, why);
    }
    return std::pair{image, surface};
  };
  for (std::size_t b = 0; b < file.blocks.size(); ++b) {
    const std::size_t m = b < block_materials.size() ? block_materials[b] : materials.size();
    if (m >= materials.size()) {
      result.blocks.push_back(nullptr);
      result.surfaces.emplace_back();
      continue;
    }
    if (!made[m]) made[m] = make(materials[m]);
    result.blocks.push_back(made[m]->first);
    result.surfaces.push_back(made[m]->second);
  }
  return result;
}
