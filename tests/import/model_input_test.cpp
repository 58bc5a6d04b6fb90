// What the readers share: a model's format told by its content, and the
// files beside it read from its folder and below only (or handed over).
#include <gtest/gtest.h>

#include "test_support.h"
#include "torvik32c/model_import.h"

namespace {

using torvik::ModelFormat;

ModelFormat FormatOf(const std::string& content, const std::string& name = {}) {
  return torvik::DetectModelFormat(std::vector<std::uint8_t>(content.begin(), content.end()), name);
}

TEST(ModelInput, TheFormatIsToldByContentAndTheExtensionOnlyWhereItTellsNothing) {
  EXPECT_EQ(FormatOf(std::string("MM\x10\0\0\0", 6), "model.obj"), ModelFormat::three_ds);
  EXPECT_EQ(FormatOf("glTF\x02", "model.3ds"), ModelFormat::gltf_binary);
  EXPECT_EQ(FormatOf("\xEF\xBB\xBF \n{\"asset\":{\"version\":\"2.0\"}}", "x.obj"),
            ModelFormat::gltf_text);
  EXPECT_EQ(FormatOf("# exported\n\nmtllib a.mtl\nv 0 0 0\n", "model.3ds"), ModelFormat::obj);
  EXPECT_EQ(FormatOf("o Cube\nv 1 2 3\n"), ModelFormat::obj);
  // Content that tells nothing: the extension decides, else 3DS.
  EXPECT_EQ(FormatOf("# nothing but a comment\n", "model.OBJ"), ModelFormat::obj);
  EXPECT_EQ(FormatOf("{\"scenes\":[]}", "model.gltf"), ModelFormat::gltf_text);
  EXPECT_EQ(FormatOf("{\"scenes\":[]}", "model.json"), ModelFormat::three_ds);
  EXPECT_EQ(FormatOf("hello world\n"), ModelFormat::three_ds);
  EXPECT_EQ(FormatOf(std::string("v\0 1 2 3", 8)), ModelFormat::three_ds);
  EXPECT_EQ(FormatOf(""), ModelFormat::three_ds);
  // A stream: a glTF's or OBJ's text is read to its end, anything else no
  // further than a 3DS stream would go; a word cut short waits for more.
  const auto end_of = [](const std::string& read) {
    return torvik::ModelStreamContent()(
        std::span(reinterpret_cast<const std::uint8_t*>(read.data()), read.size()));
  };
  for (const char* text : {" {\"asset\"", "# a comment", "v 0 0 0\n", "\xEF\xBB\xBF{"})
    EXPECT_EQ(end_of(text)->length, torvik::kMaxModelBytes) << text;
  EXPECT_EQ(end_of("no 3DS")->length, 6u);
  EXPECT_FALSE(end_of("mtlli"));
  EXPECT_FALSE(end_of("  \n"));
}

TEST(ModelInput, ReferencesStayWithinTheModelsFolder) {
  EXPECT_EQ(torvik::CheckedRelativePath("textures/wood.png", false), "textures/wood.png");
  EXPECT_EQ(torvik::CheckedRelativePath("./a\\b.bin", false), "a/b.bin");
  EXPECT_EQ(torvik::CheckedRelativePath("my%20model.bin", true), "my model.bin");
  EXPECT_EQ(torvik::CheckedRelativePath("my%20model.bin", false), "my%20model.bin");
  for (const char* refused :
       {"../a.bin", "a/../../b.bin", "/etc/passwd", "\\\\server\\x", "C:/x.bin", "c:x.bin",
        "http://host/x.bin", "", "a//b", "%2e%2e/x.bin", "%", "a%2", "a\nb", "a%00b"})
    EXPECT_EQ(torvik::CheckedRelativePath(refused, true), "") << refused;
}

TEST(ModelInput, FolderFilesFollowNoLinkOutOfTheFolderAndKeepToTheBudget) {
  const testing_support::TempDir dir;
  const std::filesystem::path model = dir.path() / "model";
  std::filesystem::create_directories(model / "sub");
  testing_support::WriteFile((model / "sub" / "a.bin").string(), {1, 2, 3});
  testing_support::WriteFile(dir.file("secret.bin"), {4, 5, 6});
  std::filesystem::create_symlink(dir.path() / "secret.bin", model / "out.bin");
  std::filesystem::create_symlink(model / "sub" / "a.bin", model / "in.bin");
  const torvik::FileReader files = torvik::FolderFiles(model);
  EXPECT_EQ(files("sub/a.bin", 100), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(files("in.bin", 100), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_THROW(files("out.bin", 100), torvik::IoError);
  EXPECT_THROW(files("missing.bin", 100), torvik::Error);
  try {
    files("sub/a.bin", 2);
    ADD_FAILURE() << "read past the budget";
  } catch (const torvik::Error& error) {
    EXPECT_EQ(error.kind, torvik::Error::Kind::too_large);
  }
  // Files a caller holds, by their paths in the model's folder.
  const torvik::FileReader given = torvik::GivenFiles({{"maps\\wood.png", {7, 8}}});
  EXPECT_EQ(given("maps/wood.png", 100), (std::vector<std::uint8_t>{7, 8}));
  EXPECT_THROW(given("wood.png", 100), torvik::IoError);
  EXPECT_THROW(given("maps/wood.png", 1), torvik::Error);
  EXPECT_THROW(torvik::GivenFiles({{"../wood.png", {}}}), std::invalid_argument);
  EXPECT_FALSE(torvik::FilesBeside("-"));
  EXPECT_TRUE(torvik::FilesBeside((model / "x.gltf").string()));
}

}  // namespace
