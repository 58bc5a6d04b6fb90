// The names in one folder, indexed for the lookups of the texture search:
// each lookup costs the names it finds, not the folder's size, so that one
// listing serves every texture name of a model.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace torvik::textures {

class FolderIndex {
 public:
  FolderIndex() = default;
  explicit FolderIndex(std::vector<std::string> names);

  // The names as listed.
  const std::vector<std::string>& Names() const { return names_; }

  // The positions in Names(), ascending, of the names that are:
  // equal to `name` ignoring ASCII case (SameName);
  std::vector<std::size_t> Named(std::string_view name) const;
  // longer names that `stored` is an 8.3 form of (MatchesShortName);
  std::vector<std::size_t> ShortNameMatches(std::string_view stored) const;
  // `stored`'s stem with another image extension (MatchesOtherExtension).
  std::vector<std::size_t> OtherExtensionMatches(std::string_view stored) const;

  // The folder holds "<stem>.bmf", ignoring ASCII case.
  bool HasBmf(std::string_view stem) const;

 private:
  using Positions = std::unordered_map<std::string, std::vector<std::size_t>>;

  std::vector<std::string> names_;
  Positions by_name_;        // the lower-case name
  Positions by_cut_stem_;    // "ext/stem" in lower case, of the first 8 characters of longer stems
  Positions by_image_stem_;  // the lower-case stem of names with an image extension
  // "ext/stem" in lower case with the stem's spaces left out, sorted, for
  // the prefixes of short names.
  std::vector<std::pair<std::string, std::size_t>> by_squeezed_stem_;
  std::unordered_set<std::string> bmf_stems_;  // lower case
};

}  // namespace torvik::textures
