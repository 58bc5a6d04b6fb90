#include "textures/folder_index.h"

#include <algorithm>

#include "textures/texture_names.h"

namespace torvik::textures {
namespace {

// "ext/stem" in lower case: no name holds a '/', so two keys share a prefix
// that ends in '/' only when their extensions are the same.
std::string ExtensionAndStem(std::string_view extension, std::string_view stem) {
  std::string key = LowerAscii(extension);
  key += '/';
  key += LowerAscii(stem);
  return key;
}

std::vector<std::size_t> Find(const std::unordered_map<std::string, std::vector<std::size_t>>& map,
                              const std::string& key) {
  const auto found = map.find(key);
  return found != map.end() ? found->second : std::vector<std::size_t>{};
}

}  // namespace

FolderIndex::FolderIndex(std::vector<std::string> names) : names_(std::move(names)) {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::string& name = names_[i];
    const NameParts parts = SplitName(name);
    by_name_[LowerAscii(name)].push_back(i);
    if (parts.stem.size() > 8)
      by_cut_stem_[ExtensionAndStem(parts.extension, parts.stem.substr(0, 8))].push_back(i);
    if (IsImageExtension(parts.extension)) by_image_stem_[LowerAscii(parts.stem)].push_back(i);
    std::string squeezed(parts.stem);
    std::erase(squeezed, ' ');
    by_squeezed_stem_.emplace_back(ExtensionAndStem(parts.extension, squeezed), i);
    if (SameName(parts.extension, "bmf")) bmf_stems_.insert(LowerAscii(parts.stem));
  }
  std::sort(by_squeezed_stem_.begin(), by_squeezed_stem_.end());
}

std::vector<std::size_t> FolderIndex::Named(std::string_view name) const {
  return Find(by_name_, LowerAscii(name));
}

std::vector<std::size_t> FolderIndex::ShortNameMatches(std::string_view stored) const {
  const NameParts want = SplitName(stored);
  const std::string_view prefix = ShortNamePrefix(want.stem);
  if (prefix.empty())
    return want.stem.size() == 8 ? Find(by_cut_stem_, ExtensionAndStem(want.extension, want.stem))
                                 : std::vector<std::size_t>{};
  // Stems without their spaces that start with the prefix, but for the
  // stored stem itself.
  const std::string key = ExtensionAndStem(want.extension, prefix);
  std::vector<std::size_t> found;
  for (auto at = std::lower_bound(by_squeezed_stem_.begin(), by_squeezed_stem_.end(),
                                  std::make_pair(key, std::size_t{0}));
       at != by_squeezed_stem_.end() && at->first.starts_with(key); ++at)
    if (!SameName(SplitName(names_[at->second]).stem, want.stem)) found.push_back(at->second);
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::size_t> FolderIndex::OtherExtensionMatches(std::string_view stored) const {
  const NameParts want = SplitName(stored);
  if (want.stem.empty()) return {};
  std::vector<std::size_t> found = Find(by_image_stem_, LowerAscii(want.stem));
  std::erase_if(found, [&](std::size_t i) {
    return SameName(SplitName(names_[i]).extension, want.extension);
  });
  return found;
}

bool FolderIndex::HasBmf(std::string_view stem) const {
  return bmf_stems_.contains(LowerAscii(stem));
}

}  // namespace torvik::textures
