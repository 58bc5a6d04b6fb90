// The texture resolver on a folder tree laid out the way real models ship:
// each rule, the order of ambiguous candidates, and names that try to leave
// the search folders.
#include "torvik32c/texture_resolver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "test_support.h"

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

}  // namespace
