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
  MaterialMaker(GltfBuilder& builder, const H3dsMat& mat)
      : builder_(builder),
        mat_(mat),
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

  std::optional<std::size_t> ImageOf(MapKind kind, const std::filesystem::path& file) {
    return builder_.ImageOfFile(file, mat_.Map(kind).name, About(kind), Outcome(kind));
  }

  // The textureInfo of an image sampled as `placement` and `wrap` say.
  Json InfoOf(std::size_t image, const PlacementParts& placement, MapWrap wrap) {
    textured_ = true;
    return builder_.TextureInfo(builder_.TextureOf(image, wrap, wrap), placement);
  }
  // The same for an image of the map of `kind` as its file holds it.
  Json InfoOf(std::size_t image, MapKind kind) {
    const H3dsTextureMap& map = mat_.Map(kind);
    return InfoOf(image, MapPlacementParts(map), MapWrapOf(map));
  }
  // The same for an image derived for the map of `kind`.
  Json InfoOf(std::size_t image, const DerivedMap& derived, MapKind kind) {
    return InfoOf(image, derived.PlacedAs(mat_.Map(kind)), derived.wrap);
  }

  // The glTF image of a derived one, named after the maps it was made of;
  // none, with a warning, when it can't be embedded.
  std::optional<std::size_t> EmbeddedImage(const DerivedMap& derived, const std::string& name,
                                           MapKind kind) {
    try {
      return builder_.DerivedImageOf(derived, name);
    } catch (const std::exception& error) {
      Warn(kind, error.what());
      return std::nullopt;
    }
  }

  // A map's file as its textureInfo: embedded as it is, or framed in
  // `outside` when the map is shown once.
  std::optional<Json> MapTexture(MapKind kind, std::array<std::uint8_t, 4> outside) {
    const std::optional<std::filesystem::path> file = FileOf(kind);
    if (!file) return std::nullopt;
    const H3dsTextureMap& map = mat_.Map(kind);
    if (!ShownOnce(map)) {
      const std::optional<std::size_t> image = ImageOf(kind, *file);
      if (!image) return std::nullopt;
      return InfoOf(*image, kind);
    }
    try {
      const std::shared_ptr<const DerivedMap> framed =
          builder_.Deriver().Framed(map, kind, *file, outside);
      const std::optional<std::size_t> image = EmbeddedImage(*framed, map.name, kind);
      if (!image) return std::nullopt;
      return InfoOf(*image, *framed, kind);
    } catch (const std::exception& error) {
      Warn(kind, error.what());
      return std::nullopt;
    }
  }

  // Texture 1 and the opacity map as base_colour.h says.
  void AddBaseColour() {
    const std::optional<std::filesystem::path> texture_file = FileOf(MapKind::texture);
    const std::optional<std::filesystem::path> opacity_file = FileOf(MapKind::opacity);
    if (PlanBaseColour(mat_, texture_file.has_value(), opacity_file.has_value()).opacity_misplaced)
      Warn(MapKind::opacity,
           "it lies on the faces otherwise than the texture (its scale, offset, rotation or "
           "tiling differ)");
    const MaterialBaseColour colour =
        BaseColourOf(builder_.Deriver(), mat_, texture_file, opacity_file, look_.opacity,
                     [&](MapKind kind, const std::string& why) { Warn(kind, why); });
    const BaseColourPlan& plan = colour.plan;
    if (plan.Derived()) {
      std::optional<std::size_t> image;
      std::string name = plan.texture ? mat_.Map(MapKind::texture).name : "";
      if (plan.opacity) name += (name.empty() ? "" : " + ") + mat_.Map(MapKind::opacity).name;
      std::string failure = colour.failure;
      if (colour.derived) {
        try {
          image = builder_.DerivedImageOf(*colour.derived, name);
        } catch (const std::exception& error) {
          failure = error.what();
        }
      }
      if (!image) {
        builder_.Warn(what_ + ": its texture could not be composed: " + failure +
                      "; the material is left untextured");
        return;
      }
      if (plan.opacity) {
        alpha_ = colour.derived->alpha;
        look_.opacity = 1;  // the image's alpha holds the material's opacity too
      }
      base_ = InfoOf(*image, *colour.derived, plan.placement);
    } else if (plan.texture) {
      const std::optional<std::size_t> image = ImageOf(MapKind::texture, *texture_file);
      if (!image) return;
      base_ = InfoOf(*image, MapKind::texture);
    } else {
      return;
    }
    look_.texture = (*base_)["index"].get<std::size_t>();
  }

  // The bump map's normal map, its strength the map's amount.
  std::optional<Json> NormalTexture() {
    const std::optional<std::filesystem::path> file = FileOf(MapKind::bump);
    if (!file) return std::nullopt;
    const H3dsTextureMap& bump = mat_.Map(MapKind::bump);
    std::shared_ptr<const DerivedMap> normals;
    try {
      normals = builder_.Deriver().Normals(bump, *file);
    } catch (const std::exception& error) {
      Warn(MapKind::bump, error.what());
      return std::nullopt;
    }
    const std::optional<std::size_t> image = EmbeddedImage(*normals, bump.name, MapKind::bump);
    if (!image) return std::nullopt;
    Json info = InfoOf(*image, *normals, MapKind::bump);
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
    // Beyond a glow map shown once, no glow.
    if (std::optional<Json> texture = MapTexture(MapKind::self_illumination, {0, 0, 0, 255})) {
      material["emissiveTexture"] = std::move(*texture);
      material["emissiveFactor"] = factor(FractionOf(mat_.Map(MapKind::self_illumination).percent));
      return;
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
    // Beyond a specular map shown once, the specular colour alone.
    const std::optional<Json> texture = MapTexture(MapKind::specular, {255, 255, 255, 255});
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
    MaterialMaker maker(builder_, materials_[static_cast<std::size_t>(index)]);
    made = maker.Make();
    normal_mapped_[static_cast<std::size_t>(index)] = maker.NormalMapped();
  }
  return *made;
}

}  // namespace torvik::gltf_build
