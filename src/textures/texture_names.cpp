#include "textures/texture_names.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

namespace torvik::textures {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

constexpr std::array<std::string_view, 7> kImageExtensions = {"png", "jpg", "jpeg", "tga",
                                                              "bmp", "gif", "tif"};

// The words that make a file name look like a map of a kind other than a
// colour map; those of no kind (normal maps) do too.
struct MapWord {
  std::string_view word;
  std::optional<MapKind> kind;
};
constexpr MapWord kMapWords[] = {
    {"alpha", MapKind::opacity},
    {"opacity", MapKind::opacity},
    {"opac", MapKind::opacity},
    {"mask", MapKind::opacity},
    {"transparency", MapKind::opacity},
    {"cutout", MapKind::opacity},
    {"bump", MapKind::bump},
    {"height", MapKind::bump},
    {"heightmap", MapKind::bump},
    {"displacement", MapKind::bump},
    {"disp", MapKind::bump},
    {"specular", MapKind::specular},
    {"spec", MapKind::specular},
    {"gloss", MapKind::shininess},
    {"glossiness", MapKind::shininess},
    {"shininess", MapKind::shininess},
    {"roughness", MapKind::shininess},
    {"illum", MapKind::self_illumination},
    {"selfillum", MapKind::self_illumination},
    {"illumination", MapKind::self_illumination},
    {"emissive", MapKind::self_illumination},
    {"emission", MapKind::self_illumination},
    {"glow", MapKind::self_illumination},
    {"reflection", MapKind::reflection},
    {"reflect", MapKind::reflection},
    {"refl", MapKind::reflection},
    {"env", MapKind::reflection},
    {"environment", MapKind::reflection},
    {"chrome", MapKind::reflection},
    {"normal", std::nullopt},
    {"normals", std::nullopt},
    {"nrm", std::nullopt},
};

bool IsLetterOrDigit(char c) { return IsLetter(c) || (c >= '0' && c <= '9'); }

// Whether a word of the file name's stem is a map word that `wanted` accepts.
template <class Wanted>
bool HasMapWord(std::string_view name, Wanted&& wanted) {
  const std::string_view stem = SplitName(name).stem;
  const auto is_wanted = [&](std::string_view word) {
    return std::any_of(std::begin(kMapWords), std::end(kMapWords), [&](const MapWord& map_word) {
      return SameName(word, map_word.word) && wanted(map_word.kind);
    });
  };
  std::size_t start = 0;
  for (std::size_t i = 0; i <= stem.size(); ++i) {
    const bool boundary =
        i == stem.size() || !IsLetterOrDigit(stem[i]) ||
        (i > 0 && stem[i - 1] >= 'a' && stem[i - 1] <= 'z' && stem[i] >= 'A' && stem[i] <= 'Z');
    if (!boundary) continue;
    if (i > start && is_wanted(stem.substr(start, i - start))) return true;
    start = i < stem.size() && !IsLetterOrDigit(stem[i]) ? i + 1 : i;
  }
  return false;
}

}  // namespace

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

std::string_view ShortNamePrefix(std::string_view stem) {
  const std::size_t tilde = stem.rfind('~');
  if (tilde == std::string_view::npos || tilde == 0 || tilde + 1 == stem.size()) return {};
  const std::string_view digits = stem.substr(tilde + 1);
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return {};
  return stem.substr(0, tilde);
}

bool IsImageExtension(std::string_view extension) {
  return std::any_of(kImageExtensions.begin(), kImageExtensions.end(),
                     [&](std::string_view e) { return SameName(e, extension); });
}

bool LooksLikeOtherMap(std::string_view name) {
  return HasMapWord(name, [](const std::optional<MapKind>&) { return true; });
}

int CandidateRank(std::string_view name, MapKind kind) {
  const bool colour = kind == MapKind::texture || kind == MapKind::texture2;
  if (!colour && HasMapWord(name, [&](const std::optional<MapKind>& of) { return of == kind; }))
    return 0;
  return LooksLikeOtherMap(name) ? 2 : 1;
}

std::vector<std::string> NameComponents(std::string_view stored) {
  if (stored.size() >= 2 && IsLetter(stored[0]) && stored[1] == ':') stored.remove_prefix(2);
  std::vector<std::string> components;
  while (!stored.empty()) {
    const std::size_t end = stored.find_first_of("\\/");
    const std::string_view part = stored.substr(0, end);
    if (!part.empty() && part != "." && part != "..") components.emplace_back(part);
    if (end == std::string_view::npos) break;
    stored.remove_prefix(end + 1);
  }
  return components;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  return true;
}

NameParts SplitName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {name, {}};
  return {name.substr(0, dot), name.substr(dot + 1)};
}

bool MatchesShortName(std::string_view stored, std::string_view on_disk) {
  const NameParts want = SplitName(stored), have = SplitName(on_disk);
  if (!SameName(want.extension, have.extension) || SameName(want.stem, have.stem)) return false;
  const std::string_view prefix = ShortNamePrefix(want.stem);
  if (!prefix.empty()) {
    std::string squeezed(have.stem);
    std::erase(squeezed, ' ');
    return StartsWithIgnoringCase(squeezed, prefix);
  }
  return want.stem.size() == 8 && have.stem.size() > 8 &&
         StartsWithIgnoringCase(have.stem, want.stem);
}

bool MatchesOtherExtension(std::string_view stored, std::string_view on_disk) {
  const NameParts want = SplitName(stored), have = SplitName(on_disk);
  if (want.stem.empty() || !SameName(want.stem, have.stem) ||
      SameName(want.extension, have.extension))
    return false;
  return IsImageExtension(have.extension);
}

}  // namespace torvik::textures
