// The texture search: each search folder in turn, and in it each rule over
// the folder and its usual subfolders, listing folders instead of opening guessed names so that
// case never matters, and following no link out of the search folders.
#include "torvik32c/texture_resolver.h"

#include <algorithm>
#include <array>
#include <functional>
#include <system_error>
#include <unordered_map>

#include "textures/texture_names.h"

namespace torvik {

namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 5> kUsualSubfolders = {"maps", "textures", "texture",
                                                              "images", "tex"};

// A folder found by the search: the path to report and the path to list.
struct Place {
  fs::path shown;  // the search folder as given joined with names on disk
  fs::path listed;
};

class Search {
 public:
  Search(std::string_view stored_name, const fs::path& model_file,
         std::span<const fs::path> extra_folders)
      : components_(textures::NameComponents(stored_name)),
        model_stem_(model_file.stem().string()) {
    AddFolder(model_file.parent_path());
    for (const fs::path& folder : extra_folders) AddFolder(folder);
  }

  bool Empty() const { return components_.empty(); }
  const std::string& LastComponent() const { return components_.back(); }
  std::size_t ComponentCount() const { return components_.size(); }
  const std::vector<std::string>& Components() const { return components_; }
  const std::vector<Place>& Folders() const { return folders_; }

  // The usual subfolders of `folder`, in their documented order.
  std::vector<Place> Subfolders(const Place& folder) const {
    std::vector<Place> found;
    const std::string stem_maps = model_stem_ + "_maps";
    AddMatching(
        folder, Directories(),
        [&](std::string_view name) {
          return !model_stem_.empty() && textures::SameName(name, stem_maps);
        },
        {}, found);
    for (const std::string_view usual : kUsualSubfolders)
      AddMatching(
          folder, Directories(),
          [&](std::string_view name) { return textures::SameName(name, usual); }, usual, found);
    return found;
  }

  // The folder itself, then its usual subfolders.
  std::vector<Place> FolderAndSubfolders(const Place& folder) const {
    std::vector<Place> places{folder};
    for (Place& sub : Subfolders(folder)) places.push_back(std::move(sub));
    return places;
  }

  // Regular files in `folder` whose names satisfy `match`.
  template <class Match>
  void AddFiles(const Place& folder, Match&& match, std::string_view exact,
                std::vector<Place>& found) const {
    AddMatching(folder, Files(), match, exact, found);
  }

  // The folders `components` leads to below `folder`, ignoring case.
  std::vector<Place> Walk(const Place& folder, std::span<const std::string> components) const {
    std::vector<Place> level{folder};
    for (const std::string& component : components) {
      std::vector<Place> next;
      for (const Place& place : level)
        AddMatching(
            place, Directories(),
            [&](std::string_view name) { return textures::SameName(name, component); }, component,
            next);
      level = std::move(next);
    }
    return level;
  }

 private:
  enum class Kind { directory, file };
  static Kind Directories() { return Kind::directory; }
  static Kind Files() { return Kind::file; }

  void AddFolder(const fs::path& folder) {
    const fs::path listed = folder.empty() ? fs::path(".") : folder;
    std::error_code error;
    const fs::path root = fs::canonical(listed, error);
    if (error) return;
    folders_.push_back({folder, listed});
    roots_.push_back(root);
  }

  bool InsideARoot(const fs::path& target) const {
    return std::any_of(roots_.begin(), roots_.end(), [&](const fs::path& root) {
      auto [r, t] = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
      return r == root.end();
    });
  }

  // Adds the entries of `folder` of the given kind whose names satisfy
  // `match`: one named exactly `exact` first, then the others by name.
  template <class Match>
  void AddMatching(const Place& folder, Kind kind, Match&& match, std::string_view exact,
                   std::vector<Place>& found) const {
    std::vector<std::string> names;
    for (const std::string& name : Listing(folder.listed)) {
      if (!match(std::string_view(name))) continue;
      std::error_code error;
      const fs::directory_entry entry(folder.listed / name, error);
      if (!error && Admissible(entry, kind)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
      if ((a == exact) != (b == exact)) return a == exact;
      return a < b;
    });
    for (const std::string& name : names)
      found.push_back({folder.shown / name, folder.listed / name});
  }

  // The names in a folder, read once per search: every rule lists the
  // search folder again, and one folder may hold thousands of files.
  const std::vector<std::string>& Listing(const fs::path& folder) const {
    auto [listing, added] = listings_.try_emplace(folder.string());
    if (!added) return listing->second;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error))
      listing->second.push_back(it->path().filename().string());
    return listing->second;
  }

  // The entry is of the kind wanted, and a link only when it leads inside
  // a search folder.
  bool Admissible(const fs::directory_entry& entry, Kind kind) const {
    std::error_code error;
    if (entry.is_symlink(error)) {
      const fs::path target = fs::canonical(entry.path(), error);
      if (error || !InsideARoot(target)) return false;
    }
    return kind == Kind::directory ? entry.is_directory(error) : entry.is_regular_file(error);
  }

  std::vector<std::string> components_;
  std::string model_stem_;
  std::vector<Place> folders_;
  std::vector<fs::path> roots_;
  mutable std::unordered_map<std::string, std::vector<std::string>> listings_;
};

// Every file the rule finds in one search folder, in the documented order.
std::vector<Place> Apply(const Search& search, const Place& folder, TextureRule rule) {
  std::vector<Place> found;
  const std::string& last = search.LastComponent();
  auto same = [&](std::string_view name) { return textures::SameName(name, last); };
  switch (rule) {
    case TextureRule::stored_path: {
      const std::span<const std::string> all(search.Components());
      for (const Place& place : search.Walk(folder, all.first(all.size() - 1)))
        search.AddFiles(place, same, last, found);
      break;
    }
    case TextureRule::last_component:
      if (search.ComponentCount() > 1) search.AddFiles(folder, same, last, found);
      break;
    case TextureRule::subfolder:
      for (const Place& place : search.Subfolders(folder))
        search.AddFiles(place, same, last, found);
      break;
    case TextureRule::short_name:
      for (const Place& place : search.FolderAndSubfolders(folder))
        search.AddFiles(
            place, [&](std::string_view name) { return textures::MatchesShortName(last, name); },
            {}, found);
      break;
    case TextureRule::other_extension:
      for (const Place& place : search.FolderAndSubfolders(folder))
        search.AddFiles(
            place,
            [&](std::string_view name) { return textures::MatchesOtherExtension(last, name); }, {},
            found);
      break;
  }
  return found;
}

// Keeps the first of several routes to one file.
std::vector<fs::path> Distinct(const std::vector<Place>& found) {
  std::vector<fs::path> shown, seen;
  for (const Place& place : found) {
    std::error_code error;
    fs::path real = fs::canonical(place.listed, error);
    if (error) real = place.listed;
    if (std::find(seen.begin(), seen.end(), real) != seen.end()) continue;
    seen.push_back(std::move(real));
    shown.push_back(place.shown);
  }
  return shown;
}

}  // namespace

const char* TextureRuleName(TextureRule rule) {
  switch (rule) {
    case TextureRule::stored_path:
      return "path";
    case TextureRule::last_component:
      return "name";
    case TextureRule::subfolder:
      return "subfolder";
    case TextureRule::short_name:
      return "8.3";
    case TextureRule::other_extension:
      return "extension";
  }
  return "unknown";
}

TextureResolution ResolveTexture(std::string_view stored_name, const fs::path& model_file,
                                 std::span<const fs::path> extra_folders) {
  TextureResolution result;
  result.name = std::string(stored_name);
  const Search search(stored_name, model_file, extra_folders);
  if (search.Empty()) return result;
  for (const Place& folder : search.Folders()) {
    for (const TextureRule rule :
         {TextureRule::stored_path, TextureRule::last_component, TextureRule::subfolder,
          TextureRule::short_name, TextureRule::other_extension}) {
      result.candidates = Distinct(Apply(search, folder, rule));
      if (result.candidates.empty()) continue;
      result.path = result.candidates.front();
      result.rule = rule;
      return result;
    }
  }
  return result;
}

}  // namespace torvik
