#include "map_deriver.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "base/double_double.h"
#include "torvik32c/name_text.h"

namespace torvik {

namespace {

// A key that tells derived images apart: the parts joined, numbers by
// their bits.
class Key {
 public:
  explicit Key(const char* what) : text_(what) {}
  Key& operator<<(const std::string& part) {
    text_ += '\n';
    text_ += part;
    return *this;
  }
  Key& operator<<(double number) {
    return *this << std::to_string(dd::BitsOf(number));
  }
  Key& operator<<(std::uint64_t number) { return *this << std::to_string(number); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

bool Flag(const H3dsTextureMap& map, uword flag) { return (map.tiling & flag) != 0; }

std::uint64_t WrapCode(MapWrap wrap) { return static_cast<std::uint64_t>(wrap); }

}  // namespace

void MapDeriver::Failure::Throw() const {
  if (file_kind) throw MapFileError(*file_kind, what);
  throw images::ImageError(what);
}

MapDeriver::Input MapDeriver::Prepare(const std::filesystem::path& file, MapKind kind) {
  Input input{kind, key_(file), ShownPath(file), {}, {}, nullptr};
  const auto known = decoded_.find(input.key);
  if (known != decoded_.end()) {
    if (const auto* failed = std::get_if<Failure>(&known->second))
      throw MapFileError(kind, failed->what);
    input.decoded = &std::get<images::DecodedImage>(known->second);
    return input;
  }
  try {
    input.bytes = read_(file);
    input.header = images::ReadImageHeader(input.bytes);
  } catch (const std::exception& error) {
    const std::string why = input.shown + ": " + error.what();
    decoded_.emplace(input.key, Failure{kind, why});
    throw MapFileError(kind, why);
  }
  return input;
}

void MapDeriver::RequireRoom(std::initializer_list<const Input*> inputs,
                             std::uint64_t output) const {
  std::uint64_t needed = output;
  std::vector<const std::string*> counted;  // a file that is two inputs counts once
  for (const Input* input : inputs) {
    if (input == nullptr || input->decoded != nullptr) continue;
    if (std::any_of(counted.begin(), counted.end(),
                    [&](const std::string* key) { return *key == input->key; }))
      continue;
    counted.push_back(&input->key);
    needed += images::DecodedBytes(input->header, 4);
  }
  if (!budget_.Fits(needed)) throw images::ImageError(budget_.Exceeded());
}

const images::DecodedImage& MapDeriver::Decode(Input& input) {
  if (input.decoded != nullptr) return *input.decoded;
  // One file may be two inputs (a texture that is its own opacity map).
  const auto known = decoded_.find(input.key);
  if (known != decoded_.end()) {
    if (const auto* failed = std::get_if<Failure>(&known->second))
      throw MapFileError(input.kind, failed->what);
    return *(input.decoded = &std::get<images::DecodedImage>(known->second));
  }
  budget_.Require(images::DecodedBytes(input.header, 4));
  try {
    ++decodings_;
    input.decoded = &std::get<images::DecodedImage>(
        decoded_.emplace(input.key, images::DecodeImage(input.bytes, input.header, 4))
            .first->second);
  } catch (const images::ImageError& error) {
    const std::string why = input.shown + ": " + error.what();
    decoded_.emplace(input.key, Failure{input.kind, why});
    throw MapFileError(input.kind, why);
  }
  input.bytes = {};
  return *input.decoded;
}

template <class Make>
std::shared_ptr<const DerivedMap> MapDeriver::Cached(const std::string& key, Make&& make) {
  const auto [known, added] = derived_.try_emplace(key, Failure{});
  if (added) {
    try {
      DerivedMap made = make();
      budget_.Require(made.image.Bytes());
      known->second = std::make_shared<DerivedMap>(std::move(made));
      ++derivations_;
    } catch (const MapFileError& error) {
      known->second = Failure{error.kind, error.what()};
    } catch (const std::exception& error) {
      known->second = Failure{std::nullopt, error.what()};
    }
  }
  if (const auto* failed = std::get_if<Failure>(&known->second)) failed->Throw();
  return std::get<std::shared_ptr<DerivedMap>>(known->second);
}

void MapDeriver::ReleasePixels(const DerivedMap& map) {
  for (auto& [key, made] : derived_) {
    auto* image = std::get_if<std::shared_ptr<DerivedMap>>(&made);
    if (image != nullptr && image->get() == &map) {
      (*image)->image.pixels = {};
      (*image)->image.pixels.shrink_to_fit();
      return;
    }
  }
}

std::shared_ptr<const DerivedMap> MapDeriver::BaseColour(
    const H3dsMat& mat, const BaseColourPlan& plan,
    const std::optional<std::filesystem::path>& texture,
    const std::optional<std::filesystem::path>& opacity, float material_opacity) {
  const H3dsTextureMap& texture_map = mat.Map(MapKind::texture);
  const H3dsTextureMap& opacity_map = mat.Map(MapKind::opacity);
  const MapWrap wrap = MapWrapOf(mat.Map(plan.placement));
  const bool with_texture = plan.texture && texture;
  const bool with_opacity = plan.opacity && opacity;
  // What changes the pixels, and nothing else, so that materials that draw
  // alike share their image.
  Key key("base colour");
  key << WrapCode(wrap) << std::uint64_t{plan.framed};
  if (with_texture) {
    key << key_(*texture) << std::uint64_t{plan.negative};
    if (plan.mixed) key << static_cast<double>(texture_map.percent);
  }
  if (with_opacity)
    key << key_(*opacity) << std::uint64_t{Flag(opacity_map, kMapAlphaSource)}
        << std::uint64_t{Flag(opacity_map, kMapNegative)}
        << static_cast<double>(opacity_map.percent) << static_cast<double>(material_opacity);
  if (plan.mixed || plan.framed || !with_texture) {
    const images::Rgb8Colour diffuse = DiffuseBytes(mat);
    key << std::uint64_t{diffuse[0]} << std::uint64_t{diffuse[1]} << std::uint64_t{diffuse[2]};
  }
  if (plan.framed) key << static_cast<double>(material_opacity);
  return Cached(key.Text(), [&] {
    std::optional<Input> texture_input, opacity_input;
    if (with_texture) texture_input = Prepare(*texture, MapKind::texture);
    if (with_opacity) opacity_input = Prepare(*opacity, MapKind::opacity);
    if (!texture_input && !opacity_input) throw images::ImageError("no map to draw");
    const Input* sized = texture_input ? &*texture_input : &*opacity_input;
    RequireRoom(
        {texture_input ? &*texture_input : nullptr, opacity_input ? &*opacity_input : nullptr},
        DerivedBaseColourBytes(plan, sized->Width(), sized->Height()));
    const images::DecodedImage* texture_pixels = texture_input ? &Decode(*texture_input) : nullptr;
    const images::DecodedImage* opacity_pixels = opacity_input ? &Decode(*opacity_input) : nullptr;
    DerivedBaseColour derived =
        DeriveBaseColour(mat, plan, texture_pixels, opacity_pixels, material_opacity);
    DerivedMap result{std::move(derived.image), derived.alpha, 1, 0, wrap};
    if (plan.framed) result.scale = images::kFramedScale, result.shift = images::kFramedShift;
    return result;
  });
}

std::shared_ptr<const DerivedMap> MapDeriver::Normals(const H3dsTextureMap& bump,
                                                      const std::filesystem::path& file) {
  const MapWrap wrap = MapWrapOf(bump);
  const std::array<double, 4> turn = SlopeTurn(MapPlacementParts(bump));
  Key key("normals");
  key << key_(file) << std::uint64_t{Flag(bump, kMapAlphaSource)}
      << std::uint64_t{Flag(bump, kMapNegative)} << WrapCode(wrap);
  for (const double t : turn) key << t;
  return Cached(key.Text(), [&] {
    Input heights = Prepare(file, MapKind::bump);
    std::uint64_t width = heights.Width(), height = heights.Height();
    if (wrap == MapWrap::mirrored_repeat) width *= 2, height *= 2;
    if (wrap == MapWrap::clamp_to_edge)
      width = images::FramedSide(width), height = images::FramedSide(height);
    RequireRoom({&heights}, width * height * 3);
    images::ValueImage values =
        images::MapValues(Decode(heights), Flag(bump, kMapAlphaSource), Flag(bump, kMapNegative));
    DerivedMap result;
    result.wrap = wrap;
    if (wrap == MapWrap::mirrored_repeat) {
      // The tile repeats as it is.
      values = images::MirrorTiled(values);
      result.wrap = MapWrap::repeat;
      result.scale = 0.5;
    }
    const images::EdgeWrap edges = EdgeWrapOf(result.wrap);
    result.image = images::NormalMap(values, edges, edges, turn);
    if (wrap == MapWrap::clamp_to_edge) {
      const images::Rgb8Colour flat = images::kFlatNormal;
      result.image = images::Framed(result.image, {flat[0], flat[1], flat[2], 255});
      result.scale = images::kFramedScale;
      result.shift = images::kFramedShift;
    }
    return result;
  });
}

std::shared_ptr<const DerivedMap> MapDeriver::Framed(const H3dsTextureMap& map, MapKind kind,
                                                     const std::filesystem::path& file,
                                                     std::array<std::uint8_t, 4> outside) {
  Key key("framed");
  key << key_(file) << WrapCode(MapWrapOf(map));
  for (const std::uint8_t c : outside) key << std::uint64_t{c};
  return Cached(key.Text(), [&] {
    Input input = Prepare(file, kind);
    RequireRoom({&input},
                images::FramedSide(input.Width()) * images::FramedSide(input.Height()) * 4);
    DerivedMap result;
    result.image = images::Framed(Decode(input), outside);
    result.scale = images::kFramedScale;
    result.shift = images::kFramedShift;
    result.wrap = MapWrapOf(map);
    return result;
  });
}

MaterialBaseColour BaseColourOf(MapDeriver& deriver, const H3dsMat& mat,
                                const std::optional<std::filesystem::path>& texture,
                                const std::optional<std::filesystem::path>& opacity,
                                float material_opacity,
                                const std::function<void(MapKind, const std::string&)>& dropped) {
  MaterialBaseColour result{PlanBaseColour(mat, texture.has_value(), opacity.has_value()), {}, {}};
  // An opacity map that lies otherwise than texture 1 stays out, whatever
  // becomes of texture 1.
  bool texture_drawn = texture.has_value();
  bool opacity_drawn = opacity.has_value() && !result.plan.opacity_misplaced;
  while (result.plan.Derived()) {
    try {
      result.derived = deriver.BaseColour(mat, result.plan, texture, opacity, material_opacity);
      return result;
    } catch (const MapFileError& error) {
      dropped(error.kind, error.what());
      (error.kind == MapKind::texture ? texture_drawn : opacity_drawn) = false;
      result.plan = PlanBaseColour(mat, texture_drawn, opacity_drawn);
    } catch (const std::exception& error) {
      result.failure = error.what();
      return result;
    }
  }
  return result;
}

}  // namespace torvik
