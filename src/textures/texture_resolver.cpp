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
#include "torvik32c/errors.h"

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
         const TextureSearchOptions& options)
      : components_(textures::NameComponents(stored_name)),
        model_stem_(model_file.stem().string()),
        limit_(options.limit),
        cancel_(options.cancel) {
    AddFolder(model_file.parent_path());
    for (const fs::path& folder : options.extra_folders) AddFolder(folder);
    for (const fs::path& output : options.outputs) {
      std::error_code error;
      fs::path real = fs::weakly_canonical(output, error);
      outputs_.push_back(error ? output : std::move(real));
      output_stems_.push_back(output.stem().string());
    }
  }

  bool Empty() const { return components_.empty(); }
  const std::string& LastComponent() const { return components_.back(); }
  std::size_t ComponentCount() const { return components_.size(); }
  const std::vector<std::string>& Components() const { return components_; }
  const std::vector<Place>& Folders() const { return folders_; }
  std::size_t Visited() const { return std::min(visited_, limit_); }
  bool Stopped() const { return visited_ > limit_; }

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

  // Regular files in `folder` whose names satisfy `match` and that are no
  // earlier output of the tools.
  template <class Match>
  void AddGuessedFiles(const Place& folder, Match&& match, std::vector<Place>& found) const {
    const std::vector<std::string>& listing = Listing(folder.listed);
    AddMatching(
        folder, Files(),
        [&](std::string_view name) { return match(name) && !ToolsOwnStem(name, listing); }, {},
        found);
  }

  // The folders `components` leads to below `folder`, ignoring case; a
  // folder reached by several routes is kept once, by its first route.
  std::vector<Place> Walk(const Place& folder, std::span<const std::string> components) const {
    std::vector<Place> level{folder};
    for (const std::string& component : components) {
      std::vector<Place> next;
      for (const Place& place : level)
        AddMatching(
            place, Directories(),
            [&](std::string_view name) { return textures::SameName(name, component); }, component,
            next);
      level = Once(std::move(next));
    }
    return level;
  }

  // Whether the file at the real path `real` is one the caller writes.
  bool IsOutput(const fs::path& real) const {
    return std::find(outputs_.begin(), outputs_.end(), real) != outputs_.end();
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

  // Counts one folder listed or one entry examined; false once the search
  // has done all the work it may.
  bool Visit() const {
    StopIfCancelled(cancel_);
    if (visited_ > limit_) return false;
    return ++visited_ <= limit_;
  }

  static fs::path RealPath(const fs::path& path) {
    std::error_code error;
    fs::path real = fs::canonical(path, error);
    return error ? path : real;
  }

  // The places that lead to distinct folders, each by its first route.
  static std::vector<Place> Once(std::vector<Place> places) {
    std::vector<Place> kept;
    std::vector<fs::path> seen;
    for (Place& place : places) {
      fs::path real = RealPath(place.listed);
      if (std::find(seen.begin(), seen.end(), real) != seen.end()) continue;
      seen.push_back(std::move(real));
      kept.push_back(std::move(place));
    }
    return kept;
  }

  // A PNG (the only image the tools write: previews) named after the
  // model, an output, or a BMF in the same folder.
  bool ToolsOwnStem(std::string_view name, const std::vector<std::string>& listing) const {
    // Not a structured binding: older clang (Emscripten's) can't capture one.
    const textures::NameParts parts = textures::SplitName(name);
    if (!textures::SameName(parts.extension, "png")) return false;
    const auto stem = parts.stem;
    auto same_stem = [&](std::string_view other) { return textures::SameName(stem, other); };
    if (same_stem(model_stem_) ||
        std::any_of(output_stems_.begin(), output_stems_.end(), same_stem))
      return true;
    return std::any_of(listing.begin(), listing.end(), [&](const std::string& other) {
      const textures::NameParts other_parts = textures::SplitName(other);
      return textures::SameName(other_parts.extension, "bmf") && same_stem(other_parts.stem);
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
      if (!Visit()) return;
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

  // The names in a folder, read once per search however many routes lead
  // to it: every rule lists the search folder again, and one folder may
  // hold thousands of files.
  const std::vector<std::string>& Listing(const fs::path& folder) const {
    auto [listing, added] = listings_.try_emplace(RealPath(folder).string());
    if (!added || !Visit()) return listing->second;
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
  std::size_t limit_;
  const std::atomic<bool>* cancel_;
  std::vector<Place> folders_;
  std::vector<fs::path> roots_;
  std::vector<fs::path> outputs_;
  std::vector<std::string> output_stems_;
  mutable std::size_t visited_ = 0;
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
        search.AddGuessedFiles(
            place, [&](std::string_view name) { return textures::MatchesShortName(last, name); },
            found);
      break;
    case TextureRule::other_extension:
      for (const Place& place : search.FolderAndSubfolders(folder))
        search.AddGuessedFiles(
            place,
            [&](std::string_view name) { return textures::MatchesOtherExtension(last, name); },
            found);
      break;
    case TextureRule::given:  // decided before any rule
      break;
  }
  return found;
}

// Keeps the first of several routes to one file, leaves out the caller's
// outputs, and puts the names that look like colour maps first.
std::vector<fs::path> Candidates(const Search& search, const std::vector<Place>& found) {
  std::vector<fs::path> shown, seen;
  for (const Place& place : found) {
    std::error_code error;
    fs::path real = fs::canonical(place.listed, error);
    if (error) real = place.listed;
    if (search.IsOutput(real) || std::find(seen.begin(), seen.end(), real) != seen.end()) continue;
    seen.push_back(std::move(real));
    shown.push_back(place.shown);
  }
  std::stable_partition(shown.begin(), shown.end(), [](const fs::path& path) {
    return !textures::LooksLikeOtherMap(path.filename().string());
  });
  return shown;
}

// The choice that decides `stored_name`, if any.
const TextureChoice* Chosen(std::string_view stored_name,
                            const std::vector<TextureChoice>& choices) {
  const std::vector<std::string> components = textures::NameComponents(stored_name);
  for (const TextureChoice& choice : choices) {
    if (textures::SameName(choice.name, stored_name)) return &choice;
    const bool bare = choice.name.find_first_of("\\/") == std::string::npos;
    if (bare && !components.empty() && textures::SameName(choice.name, components.back()))
      return &choice;
  }
  return nullptr;
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
    case TextureRule::given:
      return "given";
  }
  return "unknown";
}

TextureResolution ResolveTexture(std::string_view stored_name, const fs::path& model_file,
                                 std::span<const fs::path> extra_folders) {
  TextureSearchOptions options;
  options.extra_folders.assign(extra_folders.begin(), extra_folders.end());
  return ResolveTexture(stored_name, model_file, options);
}

TextureResolution ResolveTexture(std::string_view stored_name, const fs::path& model_file,
                                 const TextureSearchOptions& options) {
  TextureResolution result;
  result.name = std::string(stored_name);
  if (const TextureChoice* choice = Chosen(stored_name, options.choices)) {
    result.path = choice->file;
    result.rule = TextureRule::given;
    result.candidates = {choice->file};
    return result;
  }
  const Search search(stored_name, model_file, options);
  if (search.Empty()) return result;
  for (const Place& folder : search.Folders()) {
    for (const TextureRule rule :
         {TextureRule::stored_path, TextureRule::last_component, TextureRule::subfolder,
          TextureRule::short_name, TextureRule::other_extension}) {
      std::vector<fs::path> candidates = Candidates(search, Apply(search, folder, rule));
      result.visited = search.Visited();
      if (search.Stopped()) {
        result.stopped = true;
        return result;
      }
      if (candidates.empty()) continue;
      result.candidates = std::move(candidates);
      result.path = result.candidates.front();
      result.rule = rule;
      return result;
    }
  }
  return result;
}

}  // namespace torvik
