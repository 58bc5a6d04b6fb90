// The images that the exports (the scene glTF, the previews) derive from a
// model's maps: texture 1 mixed, inverted or composed with the opacity map,
// a bump map's normal map, a map shown once framed in what lies beyond it.
// Each is made once per model for what it is made of (its files, and what
// of its material and placement changes its pixels), its files are read
// and decoded once each, and the model's texture budget is asked for all
// that it would take, from the files' headers, before any of them is
// decoded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base_colour.h"
#include "images/decode_image.h"
#include "images/image_header.h"
#include "images/map_images.h"
#include "images/texture_budget.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/material_maps.h"

namespace torvik {

// An image derived from maps, how its alpha is drawn, and where the map's
// own image lies in it: at scale (u, v) + (shift, shift) of it (1 and 0 for
// an image of the map's own frame; images::kFramedScale and kFramedShift
// for a framed one; 1/2 for a mirrored map's tile).
struct DerivedMap {
  images::DecodedImage image;
  images::AlphaUse alpha = images::AlphaUse::opaque;
  double scale = 1, shift = 0;
  MapWrap wrap = MapWrap::repeat;  // how the image is sampled

  // Where this image is sampled for the stored texture coordinates, on
  // faces that `map` (the one it was made for) lies on.
  PlacementParts PlacedAs(const H3dsTextureMap& map) const {
    return MapPlacementParts(map).Within(scale, shift, shift);
  }
};

// A file of a map that could not be read or decoded: "PATH: why".
class MapFileError : public images::ImageError {
 public:
  MapFileError(MapKind kind, const std::string& what) : images::ImageError(what), kind(kind) {}
  MapKind kind;
};

class MapDeriver {
 public:
  // How a file's bytes are read (throwing std::exception saying why), and
  // what tells files apart (two paths to one file give one key).
  using Reader = std::function<std::vector<std::uint8_t>(const std::filesystem::path&)>;
  using FileKey = std::function<std::string(const std::filesystem::path&)>;

  MapDeriver(images::TextureBudget& budget, Reader read, FileKey key)
      : budget_(budget), read_(std::move(read)), key_(std::move(key)) {}

  // The base colour of a plan that Derived() (base_colour.h), of texture 1's
  // and the opacity map's files where the plan draws them.
  std::shared_ptr<const DerivedMap> BaseColour(const H3dsMat& mat, const BaseColourPlan& plan,
                                               const std::optional<std::filesystem::path>& texture,
                                               const std::optional<std::filesystem::path>& opacity,
                                               float material_opacity);
  // The normal map of a bump map's heights (images::NormalMap), its slopes
  // turned as the map's placement turns and mirrors the image on the faces
  // (SlopeTurn); a mirrored map's made of its mirrored tile
  // (images::MirrorTiled), sampled repeating; a map shown once framed in
  // flat normals.
  std::shared_ptr<const DerivedMap> Normals(const H3dsTextureMap& bump,
                                            const std::filesystem::path& file);
  // The image of a map of `kind` shown once, framed in `outside` (RGBA).
  std::shared_ptr<const DerivedMap> Framed(const H3dsTextureMap& map, MapKind kind,
                                           const std::filesystem::path& file,
                                           std::array<std::uint8_t, 4> outside);
  // Each throws MapFileError (of the map's kind) when a file can't be read,
  // is refused by its header or does not decode, and images::ImageError
  // with the budget's Exceeded() when the budget can't hold what the image
  // takes with the files it is made of that are not decoded yet: then
  // nothing is decoded.  A failure is remembered: the same image is not
  // tried again.

  // Gives back the pixels of an image whose user has made what it needs of
  // them (a PNG, a preview's texture): the image stays known, without them,
  // and is not derived again.
  void ReleasePixels(const DerivedMap& map);

  // How many images were derived, and files decoded, so far.
  std::size_t Derivations() const { return derivations_; }
  std::size_t Decodings() const { return decodings_; }

 private:
  // A file about to be decoded for a map of `kind`: its bytes and header,
  // or its pixels decoded already.
  struct Input {
    MapKind kind;
    std::string key, shown;  // the file's key, and its path as messages show it
    std::vector<std::uint8_t> bytes;
    images::ImageHeader header;
    const images::DecodedImage* decoded = nullptr;

    std::uint64_t Width() const { return decoded ? decoded->width : header.width; }
    std::uint64_t Height() const { return decoded ? decoded->height : header.height; }
  };
  Input Prepare(const std::filesystem::path& file, MapKind kind);
  // Asks whether the budget holds the inputs not decoded yet and `output`
  // bytes more; throws when it does not.
  void RequireRoom(std::initializer_list<const Input*> inputs, std::uint64_t output) const;
  const images::DecodedImage& Decode(Input& input);
  // The image of `key`, made by `make` once.
  template <class Make>
  std::shared_ptr<const DerivedMap> Cached(const std::string& key, Make&& make);
  // The failures of files and derivations, as they were thrown.
  struct Failure {
    std::optional<MapKind> file_kind;  // a MapFileError's
    std::string what;
    [[noreturn]] void Throw() const;
  };

  images::TextureBudget& budget_;
  Reader read_;
  FileKey key_;
  std::map<std::string, std::variant<images::DecodedImage, Failure>> decoded_;
  std::map<std::string, std::variant<std::shared_ptr<DerivedMap>, Failure>> derived_;
  std::size_t derivations_ = 0, decodings_ = 0;
};

// A material's base colour as the exports draw it: the plan, less a map
// whose file could not be read or decoded (reported through `dropped`,
// with its kind and why), and the image derived where the plan calls for
// one; none, with `failure` saying why, when it could not be made.
struct MaterialBaseColour {
  BaseColourPlan plan;
  std::shared_ptr<const DerivedMap> derived;
  std::string failure;
};
MaterialBaseColour BaseColourOf(MapDeriver& deriver, const H3dsMat& mat,
                                const std::optional<std::filesystem::path>& texture,
                                const std::optional<std::filesystem::path>& opacity,
                                float material_opacity,
                                const std::function<void(MapKind, const std::string&)>& dropped);

}  // namespace torvik
