#include "scene_materials.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "base/portable_math.h"
#include "base_colour.h"
#include "images/map_images.h"
#include "torvik32c/export_conventions.h"
#include "torvik32c/material_maps.h"

namespace torvik::gltf_build {

namespace {

constexpr const char* kSpecularExtension = "KHR_materials_specular";

// A colour component in [0, 1]: a byte / 255, as 3DS colour bytes mean, or
// the float as stored.
double ComponentOf(float stored, bool from_bytes) {
  if (from_bytes) return std::round(static_cast<double>(stored) * 256) / 255;
  return Clamped(stored);
}

// The colour, from sRGB to linear, as factors.
std::array<double, 3> LinearColour(const H3dsRGBColor& colour) {
  const auto linear = [&](float component) {
    return Factor(static_cast<float>(SrgbToLinear(ComponentOf(component, colour.from_bytes))));
  };
  return {linear(colour.red), linear(colour.green), linear(colour.blue)};
}

MaterialLook LookOf(const H3dsMat& mat, const GltfBuilder& builder) {
  const H3dsRGBColor& specular = mat.specular;
  MaterialLook look;
  look.name = builder.NameOf(mat.name);
  look.base_color = LinearColour(mat.diffuse);
  look.opacity = OpacityOfTransparency(mat.transparency);
  look.shine = static_cast<float>((ComponentOf(specular.red, specular.from_bytes) +
                                   ComponentOf(specular.green, specular.from_bytes) +
                                   ComponentOf(specular.blue, specular.from_bytes)) /
                                  3);
  look.double_sided = mat.doublesided != 0;
  return look;
}

// The material that meshes without one get: white, two-sided.
MaterialLook DefaultLook() {
  MaterialLook look;
  look.name = kDefaultMaterialName;
  look.shine = 1;
  look.double_sided = true;
  return look;
}

// A fraction as stored, 0 when it is not a number.
double FractionOf(float stored) { return std::isfinite(stored) ? stored : 0.0; }

// The roughness of a 3DS shininess g in [0, 1]: its Phong exponent
// n = 2^(10 g), from 1 to 1024, as the roughness of a GGX lobe of the same
// width, (2 / (n + 2))^(1/4).
double RoughnessOfShininess(float shininess) {
  const double exponent = Pow(2, 10 * static_cast<double>(Clamped(shininess)));
  return std::sqrt(std::sqrt(2 / (exponent + 2)));
}

Json FactorArray(const std::array<double, 3>& values) {
  return {Factor(static_cast<float>(values[0])), Factor(static_cast<float>(values[1])),
          Factor(static_cast<float>(values[2]))};
}

// What one material's glTF is made of, step by step.
class MaterialMaker {
 public:
  MaterialMaker(GltfBuilder& builder, const H3dsMat& mat,
                std::map<std::string, std::size_t>& normal_maps)
      : builder_(builder),
        mat_(mat),
        normal_maps_(normal_maps),
        look_(LookOf(mat, builder)),
        what_("material '" + builder.Shown(mat.name) + "'") {}

  std::pair<std::size_t, bool> Make() {
    AddBaseColour();
    Json material = builder_.MaterialJson(look_);
    Json& pbr = material["pbrMetallicRoughness"];
    if (base_) pbr["baseColorTexture"] = *base_;
    if (mat_.shininess)
      pbr["roughnessFactor"] = Factor(static_cast<float>(RoughnessOfShininess(*mat_.shininess)));
    if (alpha_ == images::AlphaUse::mask) material["alphaMode"] = "MASK";
    if (alpha_ == images::AlphaUse::blend) material["alphaMode"] = "BLEND";
    if (const std::optional<Json> normal = NormalTexture()) {
      material["normalTexture"] = *normal;
      normal_mapped_ = true;
    }
    AddEmission(material);
    if (std::optional<Json> specular = Specular()) {
      builder_.UseExtension(kSpecularExtension);
      material["extensions"][kSpecularExtension] = std::move(*specular);
    }
    return {builder_.Add("materials", std::move(material)), textured_};
  }

  bool NormalMapped() const { return normal_mapped_; }

 private:
  // "texture 'X.JPG' of material 'M'", "bump map 'X.JPG' of material 'M'".
  std::string About(MapKind kind) const {
    const std::string noun =
        kind == MapKind::texture ? std::string("texture") : std::string(MapKindName(kind)) + " map";
    return noun + " '" + builder_.Shown(mat_.Map(kind).name) + "' of " + what_;
  }
  static std::string Outcome(MapKind kind) {
    return kind == MapKind::texture ? "the material is left untextured" : "it is left out";
  }
  void Warn(MapKind kind, const std::string& why) {
    builder_.Warn(About(kind) + ": " + why + "; " + Outcome(kind));
  }

  // The file of a map that names one and is drawn (its amount is not 0).
  std::optional<std::filesystem::path> FileOf(MapKind kind) {
    const H3dsTextureMap& map = mat_.Map(kind);
    if (!map.Used() || FractionOf(map.percent) == 0) return std::nullopt;
    return builder_.FindFile(map.name, kind, About(kind), Outcome(kind));
  }

  const images::DecodedImage* Decoded(MapKind kind, const std::filesystem::path& file) {
    try {
      return &builder_.DecodedFile(file);
    } catch (const std::exception& error) {
      Warn(kind, ShownPath(file) + ": " + error.what());
      return nullptr;
    }
  }

  std::optional<std::size_t> ImageOf(MapKind kind, const std::filesystem::path& file) {
    return builder_.ImageOfFile(file, mat_.Map(kind).name, About(kind), Outcome(kind));
  }

  // The textureInfo of an image placed and wrapped as the map of `kind`.
  Json InfoOf(std::size_t image, MapKind kind) {
    textured_ = true;
    const H3dsTextureMap& map = mat_.Map(kind);
    const MapWrap wrap = MapWrapOf(map);
    return builder_.TextureInfo(builder_.TextureOf(image, wrap, wrap), map);
  }

  // Texture 1 and the opacity map as base_colour.h says.
  void AddBaseColour() {
    const std::optional<std::filesystem::path> texture_file = FileOf(MapKind::texture);
    std::optional<std::filesystem::path> opacity_file = FileOf(MapKind::opacity);
    BaseColourPlan plan = PlanBaseColour(mat_, texture_file.has_value(), opacity_file.has_value());
    if (plan.opacity_misplaced)
      Warn(MapKind::opacity,
           "it lies on the faces otherwise than the texture (its scale, offset, rotation or "
           "tiling differ)");
    const images::DecodedImage* texture = nullptr;
    const images::DecodedImage* opacity = nullptr;
    if (plan.Derived() && plan.texture &&
        (texture = Decoded(MapKind::texture, *texture_file)) == nullptr)
      plan = PlanBaseColour(mat_, false, !plan.opacity_misplaced && opacity_file.has_value());
    if (plan.opacity && (opacity = Decoded(MapKind::opacity, *opacity_file)) == nullptr)
      plan = PlanBaseColour(mat_, plan.texture, false);
    std::optional<std::size_t> image;
    if (plan.Derived()) {
      try {
        const DerivedBaseColour derived =
            DeriveBaseColour(mat_, plan, texture, opacity, look_.opacity);
        std::string name = plan.texture ? mat_.Map(MapKind::texture).name : "";
        if (plan.opacity) name += (name.empty() ? "" : " + ") + mat_.Map(MapKind::opacity).name;
        image = builder_.AddDerivedImage(name, derived.image);
        if (plan.opacity) {
          alpha_ = derived.alpha;
          look_.opacity = 1;  // the image's alpha holds the material's opacity too
        }
      } catch (const std::exception& error) {
        builder_.Warn(what_ + ": its texture could not be composed: " + error.what() +
                      "; the material is left untextured");
      }
    } else if (plan.texture) {
      image = ImageOf(MapKind::texture, *texture_file);
    }
    if (!image) return;
    base_ = InfoOf(*image, plan.placement);
    look_.texture = (*base_)["index"].get<std::size_t>();
  }

  // The bump map's normal map, its strength the map's amount.
  std::optional<Json> NormalTexture() {
    const std::optional<std::filesystem::path> file = FileOf(MapKind::bump);
    if (!file) return std::nullopt;
    const H3dsTextureMap& bump = mat_.Map(MapKind::bump);
    const std::string key = file->string() + '\n' + std::to_string(bump.tiling);
    auto made = normal_maps_.find(key);
    if (made == normal_maps_.end()) {
      const images::DecodedImage* heights = Decoded(MapKind::bump, *file);
      if (heights == nullptr) return std::nullopt;
      try {
        const images::EdgeWrap wrap = EdgeWrapOf(MapWrapOf(bump));
        const images::DecodedImage normals =
            images::NormalMap(images::MapValues(*heights, (bump.tiling & kMapAlphaSource) != 0,
                                                (bump.tiling & kMapNegative) != 0),
                              wrap, wrap);
        made = normal_maps_.emplace(key, builder_.AddDerivedImage(bump.name, normals)).first;
      } catch (const std::exception& error) {
        Warn(MapKind::bump, error.what());
        return std::nullopt;
      }
    }
    Json info = InfoOf(made->second, MapKind::bump);
    if (bump.percent != 1) info["scale"] = Factor(static_cast<float>(FractionOf(bump.percent)));
    return info;
  }

  // Self-illumination: the self-illumination map, or the material's glow on
  // its base colour.
  void AddEmission(Json& material) {
    const std::array<double, 3> tint = base_ ? std::array<double, 3>{1, 1, 1} : look_.base_color;
    const auto factor = [&](double amount) {
      amount = std::clamp(amount, 0.0, 1.0);
      return FactorArray({tint[0] * amount, tint[1] * amount, tint[2] * amount});
    };
    if (const std::optional<std::filesystem::path> file = FileOf(MapKind::self_illumination)) {
      if (const std::optional<std::size_t> image = ImageOf(MapKind::self_illumination, *file)) {
        material["emissiveTexture"] = InfoOf(*image, MapKind::self_illumination);
        material["emissiveFactor"] =
            factor(FractionOf(mat_.Map(MapKind::self_illumination).percent));
        return;
      }
    }
    // The flag of older files, without a percentage: fully self-illuminated.
    const double glow =
        FractionOf(mat_.self_illumination.value_or(mat_.self_illumination_flag ? 1.0f : 0.0f));
    if (!(glow > 0)) return;
    if (base_) material["emissiveTexture"] = *base_;
    material["emissiveFactor"] = factor(glow);
  }

  // KHR_materials_specular: the shininess strength as its factor (the part
  // above 1 scaling the colour), the specular colour, the specular map.
  std::optional<Json> Specular() {
    std::optional<Json> texture;
    if (const std::optional<std::filesystem::path> file = FileOf(MapKind::specular))
      if (const std::optional<std::size_t> image = ImageOf(MapKind::specular, *file))
        texture = InfoOf(*image, MapKind::specular);
    if (!mat_.shininess_strength && !texture) return std::nullopt;
    const double strength = std::max(FractionOf(mat_.shininess_strength.value_or(1)), 0.0);
    Json extension = Json::object();
    if (strength < 1) extension["specularFactor"] = Factor(static_cast<float>(strength));
    std::array<double, 3> colour = LinearColour(mat_.specular);
    for (double& component : colour) component *= std::max(strength, 1.0);
    if (colour != std::array<double, 3>{1, 1, 1})
      extension["specularColorFactor"] = FactorArray(colour);
    if (texture) extension["specularColorTexture"] = *texture;
    if (extension.empty()) return std::nullopt;
    return extension;
  }

  GltfBuilder& builder_;
  const H3dsMat& mat_;
  std::map<std::string, std::size_t>& normal_maps_;
  MaterialLook look_;
  std::string what_;
  std::optional<Json> base_;  // the base colour's textureInfo
  images::AlphaUse alpha_ =
      images::AlphaUse::opaque;  // of the base colour's image, when it holds the opacity
  bool textured_ = false;
  bool normal_mapped_ = false;
};

}  // namespace

std::pair<std::size_t, bool> SceneMaterials::MaterialOf(int index) {
  if (index < 0) {
    if (!default_) default_ = {builder_.AddMaterial(DefaultLook()), false};
    return *default_;
  }
  std::optional<std::pair<std::size_t, bool>>& made = made_[static_cast<std::size_t>(index)];
  if (!made) {
    MaterialMaker maker(builder_, materials_[static_cast<std::size_t>(index)], normal_maps_);
    made = maker.Make();
    normal_mapped_[static_cast<std::size_t>(index)] = maker.NormalMapped();
  }
  return *made;
}

}  // namespace torvik::gltf_build
