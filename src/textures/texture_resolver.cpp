// The texture search: each search folder in turn, and in it each rule over
// the folder and its usual subfolders, listing folders instead of opening
// guessed names so that case never matters, and following no link out of
// the search folders.  One model's names share what the file system said:
// each folder is listed and indexed once (FolderIndex), and each path's
// kind and real path are asked once.
#include "torvik32c/texture_resolver.h"

#include <algorithm>
#include <array>
#include <limits>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "textures/folder_index.h"
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

enum class Kind { directory, file };

// What one model's searches share: the search folders, the caller's
// outputs, and what the file system said about each folder and path.
class FileSystemView {
 public:
  FileSystemView(const fs::path& model_file, const TextureSearchOptions& options)
      : model_stem_(model_file.stem().string()) {
    AddFolder(model_file.parent_path());
    for (const fs::path& folder : options.extra_folders) AddFolder(folder);
    for (const fs::path& output : options.outputs) {
      std::error_code error;
      fs::path real = fs::weakly_canonical(output, error);
      outputs_.push_back(error ? output : std::move(real));
      output_stems_.push_back(output.stem().string());
    }
  }

  const std::vector<Place>& Folders() const { return folders_; }
  const std::string& ModelStem() const { return model_stem_; }
  const std::vector<std::string>& OutputStems() const { return output_stems_; }

  // Whether the file at the real path `real` is one the caller writes.
  bool IsOutput(const fs::path& real) const {
    return std::find(outputs_.begin(), outputs_.end(), real) != outputs_.end();
  }

  // The path with links and "." and ".." resolved, or as it is when it
  // can't be.
  const fs::path& RealPath(const fs::path& path) {
    auto [known, added] = real_paths_.try_emplace(path.string());
    if (added) {
      std::error_code error;
      known->second = fs::canonical(path, error);
      if (error) known->second = path;
    }
    return known->second;
  }

  // The names in the folder whose real path is `real`, listed at `folder`
  // the first time.
  const textures::FolderIndex& Listing(const std::string& real, const fs::path& folder) {
    auto [listing, added] = listings_.try_emplace(real);
    if (added) {
      std::vector<std::string> names;
      std::error_code error;
      fs::directory_iterator it(folder, error);
      for (; !error && it != fs::directory_iterator(); it.increment(error))
        names.push_back(it->path().filename().string());
      listing->second = textures::FolderIndex(std::move(names));
    }
    return listing->second;
  }

  // The entry at `path` is of the kind wanted, and a link only when it
  // leads inside a search folder.
  bool Admissible(const fs::path& path, Kind kind) {
    auto [known, added] = kinds_.try_emplace(path.string());
    if (added) known->second = KindsOf(path);
    return kind == Kind::directory ? known->second.directory : known->second.file;
  }

 private:
  struct Kinds {
    bool directory = false, file = false;
  };

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

  Kinds KindsOf(const fs::path& path) const {
    std::error_code error;
    const fs::directory_entry entry(path, error);
    if (error) return {};
    if (entry.is_symlink(error)) {
      const fs::path target = fs::canonical(entry.path(), error);
      if (error || !InsideARoot(target)) return {};
    }
    Kinds kinds;
    kinds.directory = entry.is_directory(error);
    kinds.file = entry.is_regular_file(error);
    return kinds;
  }

  std::string model_stem_;
  std::vector<Place> folders_;
  std::vector<fs::path> roots_;
  std::vector<fs::path> outputs_;
  std::vector<std::string> output_stems_;
  std::unordered_map<std::string, fs::path> real_paths_;
  std::unordered_map<std::string, textures::FolderIndex> listings_;
  std::unordered_map<std::string, Kinds> kinds_;
};

// The work that all the names of one model may do together.
struct ModelWork {
  std::size_t limit = std::numeric_limits<std::size_t>::max();
  std::size_t examined = 0;

  bool Reached() const { return examined >= limit; }
};

// One name's search.
class Search {
 public:
  Search(std::string_view stored_name, FileSystemView& view, ModelWork& model,
         const TextureSearchOptions& options)
      : components_(textures::NameComponents(stored_name)),
        view_(view),
        model_(model),
        limit_(options.limit),
        cancel_(options.cancel) {}

  bool Empty() const { return components_.empty(); }
  const std::string& LastComponent() const { return components_.back(); }
  std::size_t ComponentCount() const { return components_.size(); }
  const std::vector<std::string>& Components() const { return components_; }
  FileSystemView& View() const { return view_; }
  std::size_t Visited() const { return std::min(visited_, limit_); }
  bool Stopped() const { return visited_ > limit_; }
  bool StoppedForModel() const { return stopped_for_model_; }

  // The usual subfolders of `folder`, in their documented order.
  std::vector<Place> Subfolders(const Place& folder) const {
    std::vector<Place> found;
    const textures::FolderIndex& listing = Listing(folder.listed);
    const std::string& model_stem = view_.ModelStem();
    if (!model_stem.empty()) {
      const std::string stem_maps = model_stem + "_maps";
      AddEntries(folder, listing, listing.Named(stem_maps), Kind::directory, {}, found);
    }
    for (const std::string_view usual : kUsualSubfolders)
      AddEntries(folder, listing, listing.Named(usual), Kind::directory, usual, found);
    return found;
  }

  // The folder itself, then its usual subfolders.
  std::vector<Place> FolderAndSubfolders(const Place& folder) const {
    std::vector<Place> places{folder};
    for (Place& sub : Subfolders(folder)) places.push_back(std::move(sub));
    return places;
  }

  // Regular files in `folder` named `name`, ignoring case.
  void AddFilesNamed(const Place& folder, std::string_view name, std::vector<Place>& found) const {
    const textures::FolderIndex& listing = Listing(folder.listed);
    AddEntries(folder, listing, listing.Named(name), Kind::file, name, found);
  }

  // Regular files in `folder` that `guess` finds in its listing for the
  // last component, and that are no earlier output of the tools.
  template <class Guess>
  void AddGuessedFiles(const Place& folder, Guess&& guess, std::vector<Place>& found) const {
    const textures::FolderIndex& listing = Listing(folder.listed);
    std::vector<std::size_t> positions = guess(listing, LastComponent());
    std::erase_if(positions,
                  [&](std::size_t i) { return ToolsOwnStem(listing.Names()[i], listing); });
    AddEntries(folder, listing, positions, Kind::file, {}, found);
  }

  // The folders `components` leads to below `folder`, ignoring case; a
  // folder reached by several routes is kept once, by its first route.
  std::vector<Place> Walk(const Place& folder, std::span<const std::string> components) const {
    std::vector<Place> level{folder};
    for (const std::string& component : components) {
      std::vector<Place> next;
      for (const Place& place : level) {
        const textures::FolderIndex& listing = Listing(place.listed);
        AddEntries(place, listing, listing.Named(component), Kind::directory, component, next);
      }
      level = Once(std::move(next));
    }
    return level;
  }

 private:
  // Counts one folder listed or one entry examined; false once the search
  // has done all the work it may, or the model's searches all theirs.
  bool Visit(bool entry) const {
    StopIfCancelled(cancel_);
    if (visited_ > limit_) return false;
    if (++visited_ > limit_) return false;
    if (!entry) return true;
    if (model_.Reached()) {
      stopped_for_model_ = true;
      visited_ = limit_ + 1;
      return false;
    }
    ++model_.examined;
    return true;
  }

  // The places that lead to distinct folders, each by its first route.
  std::vector<Place> Once(std::vector<Place> places) const {
    std::vector<Place> kept;
    std::unordered_set<std::string> seen;
    for (Place& place : places)
      if (seen.insert(view_.RealPath(place.listed).string()).second)
        kept.push_back(std::move(place));
    return kept;
  }

  // A PNG (the only image the tools write: previews) named after the
  // model, an output, or a BMF in the same folder.
  bool ToolsOwnStem(std::string_view name, const textures::FolderIndex& listing) const {
    // Not a structured binding: older clang (Emscripten's) can't capture one.
    const textures::NameParts parts = textures::SplitName(name);
    if (!textures::SameName(parts.extension, "png")) return false;
    const auto stem = parts.stem;
    auto same_stem = [&](std::string_view other) { return textures::SameName(stem, other); };
    const std::vector<std::string>& output_stems = view_.OutputStems();
    return same_stem(view_.ModelStem()) ||
           std::any_of(output_stems.begin(), output_stems.end(), same_stem) || listing.HasBmf(stem);
  }

  // Adds the entries of `folder` at `positions` in its listing that are of
  // the given kind: one named exactly `exact` first, then the others by
  // name.
  void AddEntries(const Place& folder, const textures::FolderIndex& listing,
                  const std::vector<std::size_t>& positions, Kind kind, std::string_view exact,
                  std::vector<Place>& found) const {
    std::vector<std::string> names;
    for (const std::size_t i : positions) {
      const std::string& name = listing.Names()[i];
      if (!Visit(true)) return;
      if (view_.Admissible(folder.listed / name, kind)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
      if ((a == exact) != (b == exact)) return a == exact;
      return a < b;
    });
    for (const std::string& name : names)
      found.push_back({folder.shown / name, folder.listed / name});
  }

  // The folder's listing.  Each folder counts once per name however many
  // routes lead to it: every rule lists the search folder again.
  const textures::FolderIndex& Listing(const fs::path& folder) const {
    const std::string real = view_.RealPath(folder).string();
    auto [listed, added] = listed_.try_emplace(real, true);
    if (added && !Visit(false)) listed->second = false;
    static const textures::FolderIndex kNothing;
    return listed->second ? view_.Listing(real, folder) : kNothing;
  }

  std::vector<std::string> components_;
  FileSystemView& view_;
  ModelWork& model_;
  std::size_t limit_;
  const std::atomic<bool>* cancel_;
  mutable std::size_t visited_ = 0;
  mutable bool stopped_for_model_ = false;
  // The folders this name's search listed: false for one past its limit.
  mutable std::unordered_map<std::string, bool> listed_;
};

// Every file the rule finds in one search folder, in the documented order.
std::vector<Place> Apply(const Search& search, const Place& folder, TextureRule rule) {
  std::vector<Place> found;
  const std::string& last = search.LastComponent();
  switch (rule) {
    case TextureRule::stored_path: {
      const std::span<const std::string> all(search.Components());
      for (const Place& place : search.Walk(folder, all.first(all.size() - 1)))
        search.AddFilesNamed(place, last, found);
      break;
    }
    case TextureRule::last_component:
      if (search.ComponentCount() > 1) search.AddFilesNamed(folder, last, found);
      break;
    case TextureRule::subfolder:
      for (const Place& place : search.Subfolders(folder)) search.AddFilesNamed(place, last, found);
      break;
    case TextureRule::short_name:
      for (const Place& place : search.FolderAndSubfolders(folder))
        search.AddGuessedFiles(
            place,
            [](const textures::FolderIndex& listing, std::string_view name) {
              return listing.ShortNameMatches(name);
            },
            found);
      break;
    case TextureRule::other_extension:
      for (const Place& place : search.FolderAndSubfolders(folder))
        search.AddGuessedFiles(
            place,
            [](const textures::FolderIndex& listing, std::string_view name) {
              return listing.OtherExtensionMatches(name);
            },
            found);
      break;
    case TextureRule::given:  // decided before any rule
      break;
  }
  return found;
}

// Keeps the first of several routes to one file, leaves out the caller's
// outputs, and orders the names by what they look like for the map's kind.
std::vector<fs::path> Candidates(FileSystemView& view, const std::vector<Place>& found,
                                 MapKind kind) {
  std::vector<fs::path> shown;
  std::unordered_set<std::string> seen;
  for (const Place& place : found) {
    const fs::path& real = view.RealPath(place.listed);
    if (view.IsOutput(real) || !seen.insert(real.string()).second) continue;
    shown.push_back(place.shown);
  }
  std::stable_sort(shown.begin(), shown.end(), [&](const fs::path& a, const fs::path& b) {
    return textures::CandidateRank(a.filename().string(), kind) <
           textures::CandidateRank(b.filename().string(), kind);
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

TextureResolution Resolve(std::string_view stored_name, MapKind kind, FileSystemView& view,
                          ModelWork& model, const TextureSearchOptions& options) {
  TextureResolution result;
  result.name = std::string(stored_name);
  result.kind = kind;
  if (const TextureChoice* choice = Chosen(stored_name, options.choices)) {
    result.path = choice->file;
    result.rule = TextureRule::given;
    result.candidates = {choice->file};
    return result;
  }
  const Search search(stored_name, view, model, options);
  if (search.Empty()) return result;
  for (const Place& folder : view.Folders()) {
    for (const TextureRule rule :
         {TextureRule::stored_path, TextureRule::last_component, TextureRule::subfolder,
          TextureRule::short_name, TextureRule::other_extension}) {
      std::vector<fs::path> candidates = Candidates(view, Apply(search, folder, rule), kind);
      result.visited = search.Visited();
      if (search.StoppedForModel()) {
        result.stopped = result.stopped_for_model = true;
        result.visited = model.examined;
        return result;
      }
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
                                 const TextureSearchOptions& options, MapKind kind) {
  FileSystemView view(model_file, options);
  ModelWork one_name;  // a name alone has only its own limit
  return Resolve(stored_name, kind, view, one_name, options);
}

struct ModelTextureSearch::State {
  State(const fs::path& model_file, TextureSearchOptions search_options)
      : options(std::move(search_options)), view(model_file, options) {
    work.limit = options.model_limit;
  }

  TextureSearchOptions options;
  FileSystemView view;
  ModelWork work;
};

ModelTextureSearch::ModelTextureSearch(const fs::path& model_file, TextureSearchOptions options)
    : state_(std::make_unique<State>(model_file, std::move(options))) {}

ModelTextureSearch::~ModelTextureSearch() = default;
ModelTextureSearch::ModelTextureSearch(ModelTextureSearch&&) noexcept = default;
ModelTextureSearch& ModelTextureSearch::operator=(ModelTextureSearch&&) noexcept = default;

TextureResolution ModelTextureSearch::Resolve(std::string_view stored_name, MapKind kind) {
  return torvik::Resolve(stored_name, kind, state_->view, state_->work, state_->options);
}

}  // namespace torvik
