#include "textures/texture_names.h"

#include <algorithm>
#include <array>

namespace torvik::textures {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

constexpr std::array<std::string_view, 7> kImageExtensions = {"png", "jpg", "jpeg", "tga",
                                                              "bmp", "gif", "tif"};

constexpr std::array<std::string_view, 13> kOtherMapWords = {
    "alpha",    "opacity", "mask",  "bump",      "normal", "normals",     "nrm",
    "specular", "spec",    "gloss", "roughness", "height", "displacement"};

bool IsLetterOrDigit(char c) { return IsLetter(c) || (c >= '0' && c <= '9'); }

bool IsOtherMapWord(std::string_view word) {
  return std::any_of(kOtherMapWords.begin(), kOtherMapWords.end(),
                     [&](std::string_view other) { return SameName(word, other); });
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
  const std::string_view stem = SplitName(name).stem;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= stem.size(); ++i) {
    const bool boundary =
        i == stem.size() || !IsLetterOrDigit(stem[i]) ||
        (i > 0 && stem[i - 1] >= 'a' && stem[i - 1] <= 'z' && stem[i] >= 'A' && stem[i] <= 'Z');
    if (!boundary) continue;
    if (i > start && IsOtherMapWord(stem.substr(start, i - start))) return true;
    start = i < stem.size() && !IsLetterOrDigit(stem[i]) ? i + 1 : i;
  }
  return false;
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
