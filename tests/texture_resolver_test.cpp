// The texture resolver on a folder tree laid out the way real models ship:
// each rule, the order of ambiguous candidates, and names that try to leave
// the search folders.
#include "torvik32c/texture_resolver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "test_support.h"
#include "textures/folder_index.h"
#include "textures/texture_names.h"
#include "torvik32c/errors.h"

namespace {

namespace fs = std::filesystem;
using torvik::TextureRule;

class TextureResolver : public ::testing::Test {
 protected:
  // Creates the file (and its folders) under the temporary folder.
  void Touch(const std::string& relative, const std::string& text = "x") {
    const fs::path path = dir.path() / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }
  torvik::TextureResolution Resolve(const std::string& name,
                                    const std::vector<fs::path>& extra = {}) {
    return torvik::ResolveTexture(name, model, extra);
  }
  fs::path At(const std::string& relative) const { return dir.path() / relative; }

  testing_support::TempDir dir;
  fs::path model = dir.path() / "model" / "house.3ds";
};

TEST_F(TextureResolver, StoredPathIgnoringCaseThenItsLastComponent) {
  Touch("model/roofTile.jpg");
  Touch("model/Maps/Brick.PNG");
  const auto roof = Resolve("ROOFTILE.JPG");
  ASSERT_TRUE(roof.found());
  EXPECT_EQ(*roof.path, At("model/roofTile.jpg"));
  EXPECT_EQ(roof.rule, TextureRule::stored_path);
  EXPECT_FALSE(roof.ambiguous());
  EXPECT_EQ(roof.candidates, std::vector{At("model/roofTile.jpg")});

  const auto brick = Resolve("maps\\brick.png");  // a relative DOS path
  ASSERT_TRUE(brick.found());
  EXPECT_EQ(*brick.path, At("model/Maps/Brick.PNG"));
  EXPECT_EQ(brick.rule, TextureRule::stored_path);

  const auto dos = Resolve("C:\\3DSMAX\\MAPS\\rooftile.jpg");  // only the name is there
  ASSERT_TRUE(dos.found());
  EXPECT_EQ(*dos.path, At("model/roofTile.jpg"));
  EXPECT_EQ(dos.rule, TextureRule::last_component);
  EXPECT_STREQ(torvik::TextureRuleName(dos.rule), "name");

  EXPECT_FALSE(Resolve("NOWHERE.JPG").found());
  EXPECT_FALSE(Resolve("").found());
  EXPECT_FALSE(Resolve("C:\\").found());
}

TEST_F(TextureResolver, UsualSubfoldersInAnyCase) {
  Touch("model/HOUSE_MAPS/door.jpg");
  Touch("model/Textures/floor.tga");
  Touch("model/unusual/lamp.jpg");
  const auto door = Resolve("DOOR.JPG");
  ASSERT_TRUE(door.found());
  EXPECT_EQ(*door.path, At("model/HOUSE_MAPS/door.jpg"));
  EXPECT_EQ(door.rule, TextureRule::subfolder);
  const auto floor = Resolve("C:\\MAPS\\FLOOR.TGA");
  ASSERT_TRUE(floor.found());
  EXPECT_EQ(*floor.path, At("model/Textures/floor.tga"));
  EXPECT_STREQ(torvik::TextureRuleName(floor.rule), "subfolder");
  EXPECT_FALSE(Resolve("LAMP.JPG").found());
}

TEST_F(TextureResolver, ShortNamesOnlyWithTheSameExtension) {
  Touch("model/house_maps/windowframe_oak.jpg");
  Touch("model/curtain fabric.png");
  const auto cut = Resolve("WINDOWFR.JPG");
  ASSERT_TRUE(cut.found());
  EXPECT_EQ(*cut.path, At("model/house_maps/windowframe_oak.jpg"));
  EXPECT_EQ(cut.rule, TextureRule::short_name);
  EXPECT_STREQ(torvik::TextureRuleName(cut.rule), "8.3");
  const auto tilde = Resolve("CURTAI~1.PNG");
  ASSERT_TRUE(tilde.found());
  EXPECT_EQ(*tilde.path, At("model/curtain fabric.png"));
  EXPECT_EQ(tilde.rule, TextureRule::short_name);
  const auto spaced = Resolve("CURTAINF.PNG");  // 8 characters of the stem without its space
  EXPECT_FALSE(spaced.found());
  EXPECT_FALSE(Resolve("WINDOWFR.PNG").found());  // other extension: no 8.3 match
  EXPECT_FALSE(Resolve("WINDOWF.JPG").found());   // 7 characters: not a cut name
}

TEST_F(TextureResolver, AnotherImageExtensionComesLast) {
  Touch("model/grass.png");
  Touch("model/maps/GRASS.bmp");
  Touch("model/grass.txt");
  const auto grass = Resolve("GRASS.TGA");
  ASSERT_TRUE(grass.found());
  EXPECT_EQ(grass.rule, TextureRule::other_extension);
  EXPECT_STREQ(torvik::TextureRuleName(grass.rule), "extension");
  EXPECT_EQ(grass.candidates, (std::vector{At("model/grass.png"), At("model/maps/GRASS.bmp")}));
  // A file with the stored name wins over any other extension.
  Touch("model/maps/grass.tga");
  EXPECT_EQ(Resolve("GRASS.TGA").rule, TextureRule::subfolder);
}

TEST_F(TextureResolver, AmbiguousNamesListTheirCandidatesInTheDocumentedOrder) {
  Touch("model/maps/wood.jpg");
  Touch("model/textures/Wood.jpg");
  Touch("model/Stone.jpg");
  Touch("model/STONE.JPG");
  Touch("model/stone.JPG");
  Touch("library/wood.jpg");
  Touch("library/metal.jpg");
  const std::vector<fs::path> library{dir.path() / "library"};

  const auto wood = Resolve("WOOD.JPG", library);
  ASSERT_TRUE(wood.found());
  EXPECT_TRUE(wood.ambiguous());
  EXPECT_EQ(wood.rule, TextureRule::subfolder);  // the library is searched after the model's folder
  EXPECT_EQ(wood.candidates,
            (std::vector{At("model/maps/wood.jpg"), At("model/textures/Wood.jpg")}));
  EXPECT_EQ(*wood.path, wood.candidates.front());

  // The name as stored first, then byte order.
  const auto stone = Resolve("stone.JPG");
  EXPECT_EQ(stone.candidates,
            (std::vector{At("model/stone.JPG"), At("model/STONE.JPG"), At("model/Stone.jpg")}));

  // The extra folders in their order, each one only when those before found nothing.
  Touch("other/METAL.JPG");
  const auto metal = Resolve("metal.jpg", {dir.path() / "other", dir.path() / "library"});
  EXPECT_EQ(metal.candidates, std::vector{At("other/METAL.JPG")});
  Touch("model/maps/metal.jpg");
  EXPECT_EQ(*Resolve("metal.jpg", library).path, At("model/maps/metal.jpg"));
  // One file reached twice counts once.
  fs::create_directory_symlink(At("model/maps"), At("model/tex"));
  EXPECT_EQ(Resolve("WOOD.JPG").candidates, wood.candidates);
}

TEST_F(TextureResolver, NamesStayInsideTheSearchFolders) {
  Touch("outside/secret.jpg");
  Touch("secret.jpg");
  Touch("model/roof.jpg");
  // ".." and absolute names are reduced to their components inside.
  EXPECT_FALSE(Resolve("..\\secret.jpg").found());
  EXPECT_FALSE(Resolve("../outside/secret.jpg").found());
  EXPECT_FALSE(Resolve(At("outside/secret.jpg").string()).found());
  const auto climbing = Resolve("../../model/roof.jpg");
  ASSERT_TRUE(climbing.found());
  EXPECT_EQ(*climbing.path, At("model/roof.jpg"));

  // Links that lead out are not followed; links that stay inside are.
  fs::create_directory_symlink(At("outside"), At("model/maps"));
  fs::create_symlink(At("outside/secret.jpg"), At("model/linked.jpg"));
  fs::create_symlink(At("model/roof.jpg"), At("model/alias.jpg"));
  EXPECT_FALSE(Resolve("SECRET.JPG").found());
  EXPECT_FALSE(Resolve("maps/secret.jpg").found());
  EXPECT_FALSE(Resolve("LINKED.JPG").found());
  EXPECT_TRUE(Resolve("ALIAS.JPG").found());
  // ...and so are links into another search folder.
  EXPECT_EQ(*Resolve("LINKED.JPG", {At("outside")}).path, At("model/linked.jpg"));

  // Folders that are missing or are files find nothing.
  EXPECT_FALSE(torvik::ResolveTexture("ROOF.JPG", At("absent/house.3ds")).found());
  EXPECT_FALSE(Resolve("ROOF.JPG/X.JPG", {At("model/roof.jpg")}).found());
}

// Links to "." in two cases make every stored path a maze of 2^k routes to
// one folder; each folder is listed once, and a tree that really branches
// stops at the limit, as does a raised cancellation flag.
TEST_F(TextureResolver, StoredPathWorkIsBoundedPerName) {
  Touch("model/x.png");
  fs::create_directory_symlink(".", At("model/a"));
  fs::create_directory_symlink(".", At("model/A"));
  std::string maze;
  for (int i = 0; i < 22; ++i) maze += i % 2 == 0 ? "a\\" : "A/";
  const auto found = Resolve(maze + "X.PNG");
  ASSERT_TRUE(found.found());
  EXPECT_EQ(found.rule, TextureRule::stored_path);
  EXPECT_EQ(found.candidates.size(), 1u);
  EXPECT_LT(found.visited, 100u);  // about two entries per component, not 2^22
  EXPECT_FALSE(found.stopped);

  // 2^7 real folders named "d" and "D": the walk gives up past the limit.
  std::vector<fs::path> level{At("tree")};
  std::string deep;
  for (int depth = 0; depth < 6; ++depth) {
    std::vector<fs::path> next;
    for (const fs::path& folder : level)
      for (const char* name : {"d", "D"}) {
        fs::create_directories(folder / name);
        next.push_back(folder / name);
      }
    level = std::move(next);
    deep += "d/";
  }
  Touch("tree/" + deep + "tex.png");
  torvik::TextureSearchOptions small;
  small.limit = 100;
  const auto stopped = torvik::ResolveTexture(deep + "tex.png", At("tree/m.3ds"), small);
  EXPECT_TRUE(stopped.stopped);
  EXPECT_FALSE(stopped.found());
  EXPECT_EQ(stopped.visited, 100u);
  small.limit = torvik::kTextureSearchLimit;
  EXPECT_TRUE(torvik::ResolveTexture(deep + "tex.png", At("tree/m.3ds"), small).found());

  std::atomic<bool> cancel{true};
  torvik::TextureSearchOptions options;
  options.cancel = &cancel;
  EXPECT_THROW(torvik::ResolveTexture("X.PNG", model, options), torvik::Cancelled);
}

// A preview, glTF or OBJ left by an earlier run sits beside its BMF under
// its stem: the guessing rules never take it, and no rule takes a file the
// caller is about to write.
TEST_F(TextureResolver, TheToolsOwnFilesAreNeverCandidates) {
  const fs::path cube = At("model/cube.3ds");
  Touch("model/cube.png");   // the model's own preview
  Touch("model/other.png");  // the preview of another model's BMF
  Touch("model/OTHER.bmf");
  Touch("model/result.png");  // this run's preview
  Touch("model/real.png");
  EXPECT_FALSE(torvik::ResolveTexture("CUBE.TGA", cube).found());
  Touch("model/maps/cube.jpg");  // no tool writes a JPEG
  EXPECT_EQ(torvik::ResolveTexture("CUBE.TGA", cube).candidates,
            std::vector{At("model/maps/cube.jpg")});
  EXPECT_FALSE(torvik::ResolveTexture("other.tga", cube).found());
  EXPECT_EQ(torvik::ResolveTexture("REAL.TGA", cube).rule, TextureRule::other_extension);
  // A name stored exactly is no guess.
  EXPECT_EQ(torvik::ResolveTexture("CUBE.PNG", cube).rule, TextureRule::stored_path);

  torvik::TextureSearchOptions options;
  options.outputs = {At("model/result.bmf"), At("model/result.png")};
  EXPECT_FALSE(torvik::ResolveTexture("RESULT.PNG", cube, options).found());
  EXPECT_FALSE(torvik::ResolveTexture("RESULT.JPG", cube, options).found());
  EXPECT_TRUE(torvik::ResolveTexture("RESULT.PNG", cube).found());
  Touch("model/resultTex.png");  // 8.3 guesses skip the same stems, not longer ones
  EXPECT_EQ(*torvik::ResolveTexture("RESULTTE.PNG", cube, options).path, At("model/resultTex.png"));
}

// Of several candidates, names that look like colour maps come first; the
// user's choice decides a name before any rule.
TEST_F(TextureResolver, ColourMapsFirstAndChoicesDecide) {
  Touch("model/horlogue_alpha.jpg");
  Touch("model/horlogue_difuse.jpg");
  const auto clock = Resolve("HORLOGUE.JPG");
  EXPECT_EQ(clock.candidates,
            (std::vector{At("model/horlogue_difuse.jpg"), At("model/horlogue_alpha.jpg")}));

  Touch("model/maps/brickwall_bumpMap.jpg");
  Touch("model/maps/brickwallNormal.jpg");
  Touch("model/maps/brickwall_alphabet.jpg");  // "alphabet" is no word of the list
  Touch("model/maps/brickwall_col.jpg");
  EXPECT_EQ(
      Resolve("BRICKWAL.JPG").candidates,
      (std::vector{At("model/maps/brickwall_alphabet.jpg"), At("model/maps/brickwall_col.jpg"),
                   At("model/maps/brickwallNormal.jpg"), At("model/maps/brickwall_bumpMap.jpg")}));

  torvik::TextureSearchOptions options;
  options.choices = {{"c:\\maps\\horlogue.jpg", At("model/maps/brickwall_col.jpg")},
                     {"horlogue.JPG", At("model/horlogue_alpha.jpg")}};
  const auto chosen = torvik::ResolveTexture("HORLOGUE.JPG", model, options);
  ASSERT_TRUE(chosen.found());
  EXPECT_EQ(*chosen.path, At("model/horlogue_alpha.jpg"));
  EXPECT_EQ(chosen.rule, TextureRule::given);
  EXPECT_STREQ(torvik::TextureRuleName(chosen.rule), "given");
  EXPECT_FALSE(chosen.ambiguous());
  // The whole stored name, or the last component of any stored path.
  EXPECT_EQ(*torvik::ResolveTexture("C:\\MAPS\\HORLOGUE.JPG", model, options).path,
            At("model/maps/brickwall_col.jpg"));
  EXPECT_EQ(*torvik::ResolveTexture("D:\\OLD\\HORLOGUE.JPG", model, options).path,
            At("model/horlogue_alpha.jpg"));
  EXPECT_NE(torvik::ResolveTexture("HORLOGUE.TGA", model, options).rule, TextureRule::given);
}

// Of several candidates, a map of another kind than texture 1 prefers the
// names with its own words, then those that look like colour maps.
TEST_F(TextureResolver, TheMapsKindDecidesAmongCandidates) {
  using torvik::MapKind;
  Touch("model/facade_grillage.jpg");
  Touch("model/facade_grillage_alpha.jpg");
  const auto facade = [&](MapKind kind) {
    return torvik::ResolveTexture("FACADE_G.JPG", model, {}, kind);
  };
  EXPECT_EQ(*facade(MapKind::texture).path, At("model/facade_grillage.jpg"));
  EXPECT_EQ(*facade(MapKind::opacity).path, At("model/facade_grillage_alpha.jpg"));
  EXPECT_EQ(facade(MapKind::opacity).candidates,
            (std::vector{At("model/facade_grillage_alpha.jpg"), At("model/facade_grillage.jpg")}));
  EXPECT_EQ(facade(MapKind::opacity).rule, TextureRule::short_name);
  EXPECT_EQ(*facade(MapKind::bump).path, At("model/facade_grillage.jpg"));

  Touch("model/maps/brickwall_spec.jpg");
  Touch("model/maps/brickwallHeight.jpg");
  Touch("model/maps/brickwall_glow.jpg");
  Touch("model/maps/brickwall_env.jpg");
  Touch("model/maps/brickwall_gloss.jpg");
  Touch("model/maps/brickwall_col.jpg");
  torvik::ModelTextureSearch search(model);
  const std::pair<MapKind, const char*> picks[] = {
      {MapKind::texture, "brickwall_col.jpg"},
      {MapKind::texture2, "brickwall_col.jpg"},
      {MapKind::bump, "brickwallHeight.jpg"},
      {MapKind::specular, "brickwall_spec.jpg"},
      {MapKind::shininess, "brickwall_gloss.jpg"},
      {MapKind::self_illumination, "brickwall_glow.jpg"},
      {MapKind::reflection, "brickwall_env.jpg"},
      {MapKind::opacity, "brickwall_col.jpg"}};
  for (const auto& [kind, file] : picks) {
    SCOPED_TRACE(torvik::MapKindName(kind));
    const auto found = search.Resolve("BRICKWAL.JPG", kind);
    ASSERT_TRUE(found.found());
    EXPECT_EQ(*found.path, At("model/maps/" + std::string(file)));
    EXPECT_EQ(found.candidates.size(), 6u);
    // Alone or in a model's search, the same.
    EXPECT_EQ(torvik::ResolveTexture("BRICKWAL.JPG", model, {}, kind).candidates, found.candidates);
  }
  // The colour map's order is as it was: colour-looking names, then the rest
  // by place and name.
  EXPECT_EQ(
      search.Resolve("BRICKWAL.JPG").candidates,
      (std::vector{At("model/maps/brickwall_col.jpg"), At("model/maps/brickwallHeight.jpg"),
                   At("model/maps/brickwall_env.jpg"), At("model/maps/brickwall_gloss.jpg"),
                   At("model/maps/brickwall_glow.jpg"), At("model/maps/brickwall_spec.jpg")}));
}

}  // namespace

namespace {

namespace textures = torvik::textures;

// Every lookup of the folder index finds exactly the names that the rule's
// own test accepts, in listing order, over names that try the edges: case,
// spaces, tildes, dots, stems of 8 characters and their neighbours.
TEST(FolderIndex, LookupsFindWhatTheRulesAccept) {
  const std::vector<std::string> names = {"windowframe_oak.jpg",
                                          "WINDOWFR.JPG",
                                          "window frame.jpg",
                                          "Window Frame2.JPG",
                                          "windowfr.png",
                                          "windowfra.jpg",
                                          "WINDOW~1.JPG",
                                          "window~1.jpg",
                                          "win.tga",
                                          "WIN.png",
                                          "win",
                                          ".hidden",
                                          ".hidden.png",
                                          "a.b.c.jpg",
                                          "a.b.c.TGA",
                                          "curtain fabric.png",
                                          "curtainfabric.PNG",
                                          "cube.bmf",
                                          "CUBE.BMF.png",
                                          "cube.png",
                                          "tex_0001.gif",
                                          "Tex_0001.tif",
                                          "tex_0001.tiff",
                                          "x~.jpg",
                                          "~1.jpg",
                                          "ab~12.jpg",
                                          "AB~12X.jpg",
                                          "abcdefghi",
                                          "ABCDEFGH"};
  const textures::FolderIndex index(names);
  const auto accepted = [&](auto&& rule) {
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < names.size(); ++i)
      if (rule(names[i])) positions.push_back(i);
    return positions;
  };
  std::vector<std::string> stored = names;
  for (const char* more :
       {"WINDOW~2.JPG", "CURTAI~1.PNG", "CURTAI~9.png", "W~1.JPG", "WINDOWFR.jpeg", "abcdefgh",
        "ABCDEFGH.", "A.B.PNG", "TEX_0001.JPG", "", ".", "..", "~", "WIN DO~1.JPG", "MISSING.JPG"})
    stored.emplace_back(more);
  for (const std::string& name : stored) {
    SCOPED_TRACE(name);
    EXPECT_EQ(index.Named(name),
              accepted([&](const std::string& n) { return textures::SameName(n, name); }));
    EXPECT_EQ(index.ShortNameMatches(name),
              accepted([&](const std::string& n) { return textures::MatchesShortName(name, n); }));
    EXPECT_EQ(index.OtherExtensionMatches(name), accepted([&](const std::string& n) {
                return textures::MatchesOtherExtension(name, n);
              }));
  }
  EXPECT_TRUE(index.HasBmf("CUBE"));
  EXPECT_FALSE(index.HasBmf("cube.bmf"));
}

// One search for a model's names gives each name what a search of its own
// gives, field by field; the files and folders its names examine together
// are bounded.
TEST_F(TextureResolver, AModelsNamesShareOneSearchWithTheSameResults) {
  for (const char* file :
       {"model/roofTile.jpg", "model/Maps/Brick.PNG", "model/HOUSE_MAPS/door.jpg",
        "model/windowframe_oak.jpg", "model/grass.png", "model/maps/GRASS.bmp",
        "model/maps/wood.jpg", "model/textures/Wood.jpg", "model/house.png", "model/other.png",
        "model/OTHER.bmf", "library/metal.jpg", "model/a1.jpg", "model/a2.jpg", "model/a3.jpg"})
    Touch(file);
  fs::create_directory_symlink(At("model/maps"), At("model/tex"));
  torvik::TextureSearchOptions options;
  options.extra_folders = {At("library")};
  options.outputs = {At("model/result.png")};
  options.choices = {{"chosen.jpg", At("model/grass.png")}};
  const std::vector<std::string> names = {
      "ROOFTILE.JPG", "maps\\brick.png", "C:\\X\\rooftile.jpg", "DOOR.JPG",  "WINDOWFR.JPG",
      "GRASS.TGA",    "WOOD.JPG",        "HOUSE.TGA",           "other.tga", "RESULT.PNG",
      "METAL.JPG",    "CHOSEN.JPG",      "nowhere.jpg",         "A~1.JPG",   "ROOFTILE.JPG"};
  const auto same = [](const torvik::TextureResolution& a, const torvik::TextureResolution& b) {
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.path, b.path);
    EXPECT_EQ(a.rule, b.rule);
    EXPECT_EQ(a.candidates, b.candidates);
    EXPECT_EQ(a.visited, b.visited);
    EXPECT_EQ(a.stopped, b.stopped);
    EXPECT_EQ(a.stopped_for_model, b.stopped_for_model);
  };
  torvik::ModelTextureSearch together(model, options);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    same(together.Resolve(name), torvik::ResolveTexture(name, model, options));
  }
  EXPECT_EQ(torvik::ResolveTexture("A~1.JPG", model, options).candidates.size(), 3u);

  // In a folder without subfolders "A~1.JPG" examines its three files: the
  // model's bound of four stops "A~2.JPG" once it has examined one, and
  // every later name that examines anything; a name found in no listing
  // examines nothing.
  for (const char* file : {"flat/a1.jpg", "flat/a2.jpg", "flat/a3.jpg"}) Touch(file);
  options = {};
  options.model_limit = 4;
  options.choices = {{"chosen.jpg", At("flat/a1.jpg")}};
  torvik::ModelTextureSearch bounded(At("flat/m.3ds"), options);
  EXPECT_EQ(bounded.Resolve("A~1.JPG").candidates.size(), 3u);
  const torvik::TextureResolution second = bounded.Resolve("A~2.JPG");
  EXPECT_FALSE(second.found());
  EXPECT_TRUE(second.stopped);
  EXPECT_TRUE(second.stopped_for_model);
  EXPECT_EQ(second.visited, 4u);
  const torvik::TextureResolution nowhere = bounded.Resolve("nowhere.jpg");
  EXPECT_FALSE(nowhere.found());
  EXPECT_FALSE(nowhere.stopped);
  EXPECT_EQ(bounded.Resolve("CHOSEN.JPG").rule, TextureRule::given);
  EXPECT_TRUE(bounded.Resolve("a1.jpg").stopped_for_model);
}

}  // namespace
