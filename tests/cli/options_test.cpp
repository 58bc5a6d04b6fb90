// Where 3ds2bmf puts its outputs, and what it refuses.
#include "options.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "torvik32c/name_text.h"

namespace {

Options Parse(std::vector<std::string> args) { return ParseOptions(args); }

TEST(Options, OutputPathsBesideInsideOrNamed) {
  const Options beside = Parse({"models/Car.3DS", "x.tar.3ds", "noext", "dir.v2/file"});
  EXPECT_EQ(OutputPath(beside, "models/Car.3DS"), "models/Car.bmf");
  EXPECT_EQ(OutputPath(beside, "x.tar.3ds"), "x.tar.bmf");
  EXPECT_EQ(OutputPath(beside, "noext"), "noext.bmf");
  EXPECT_EQ(OutputPath(beside, "dir.v2/file"), "dir.v2/file.bmf");
  const Options into = Parse({"-d", "out", "models/Car.3ds"});
  EXPECT_EQ(OutputPath(into, "models/Car.3ds"), "out/Car.bmf");
  const Options named = Parse({"a.3ds", "-o", "b.bin"});
  EXPECT_EQ(OutputPath(named, "a.3ds"), "b.bin");
}

TEST(Options, UsageErrors) {
  EXPECT_THROW(Parse({}), std::invalid_argument);
  EXPECT_THROW(Parse({"-o", "x.bmf", "a.3ds", "b.3ds"}), std::invalid_argument);
  EXPECT_THROW(Parse({"-o", "x.bmf", "-d", "out", "a.3ds"}), std::invalid_argument);
  EXPECT_THROW(Parse({"-j", "0", "a.3ds"}), std::invalid_argument);
  EXPECT_THROW(Parse({"-j", "two", "a.3ds"}), std::invalid_argument);
  EXPECT_THROW(Parse({"--frobnicate", "a.3ds"}), std::invalid_argument);
  EXPECT_THROW(Parse({"a.3ds", "-o"}), std::invalid_argument);
  EXPECT_THROW(Parse({"--name-encoding", "klingon", "a.3ds"}), std::invalid_argument);
  EXPECT_FALSE(Parse({"--name-encoding", "Windows-1252", "a.3ds"}).names);  // the default
  // UTF-8 replaces each broken sequence once, as browsers and Python do.
  const torvik::NameDecoder utf8 = Parse({"--name-encoding", "utf8", "a.3ds"}).names;
  ASSERT_TRUE(utf8);
  EXPECT_EQ(utf8("A\xE2\x82" "B\xFF\xC3"), "A\xEF\xBF\xBD" "B\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Parse({"-j4", "--", "-odd.3ds"}).inputs, std::vector<std::string>({"-odd.3ds"}));
  EXPECT_TRUE(Parse({"--help"}).help);
}

// Names are decoded byte by byte: encodings of wider code units are refused
// by name, and so is a name iconv would read only up to a NUL.  Whatever a
// decoder gives is valid UTF-8.
TEST(Options, NameEncodingsThatCantReadStoredNamesAreRefused) {
  for (const char* wide : {"UTF-16", "utf-16le", "UTF16BE", "UCS-2", "UCS-2LE", "UCS-4", "UTF-32",
                           "utf32le", "WCHAR_T", "UNICODE", "CP1200"}) {
    SCOPED_TRACE(wide);
    try {
      Parse({"--name-encoding", wide, "a.3ds"});
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& refused) {
      // Either named as wide, or (CP1200) unknown where iconv has no such name.
      const std::string message = refused.what();
      EXPECT_TRUE(message.find("2 or 4 bytes wide") != std::string::npos ||
                  message.find("knows no such encoding") != std::string::npos)
          << message;
    }
  }
  EXPECT_THROW(Parse({"--name-encoding", std::string("utf8\0x", 6), "a.3ds"}),
               std::invalid_argument);
  for (const char* narrow : {"shift_jis", "GBK", "KOI8-R", "UTF-7", "ISO-8859-5"}) {
    const torvik::NameDecoder names = Parse({"--name-encoding", narrow, "a.3ds"}).names;
    ASSERT_TRUE(names) << narrow;
    EXPECT_EQ(torvik::NameUtf8("A-z", names), "A-z") << narrow;
  }
  // A decoder that writes bytes that are not UTF-8 (iconv's 6-byte
  // sequences past U+10FFFF) still gives text.
  const torvik::NameDecoder broken = [](std::string_view) {
    return std::string("x\xFC\x84\x80\x80\x80\x80y");
  };
  EXPECT_TRUE(torvik::IsValidUtf8(torvik::NameUtf8("\xE9", broken)));
  EXPECT_EQ(torvik::NameUtf8("\xE9", broken).front(), 'x');
}

// -o names the BMF: a name that --gltf or --preview would write their file
// beside (NAME.glb.glb, NAME.png.png) is a usage error naming the clash.
TEST(Options, OutputNamedAsTheGltfOrThePreviewIsRefused) {
  try {
    Parse({"--gltf", "-o", "model.glb", "a.3ds"});
    ADD_FAILURE() << "accepted";
  } catch (const std::invalid_argument& refused) {
    EXPECT_STREQ(refused.what(),
                 "-o model.glb names the BMF, and --gltf writes beside it, so the BMF would take "
                 "the name model.glb and the file of --gltf the name model.glb.glb: give the "
                 "BMF's name (-o NAME.bmf) and --gltf writes NAME.glb beside it");
  }
  EXPECT_THROW(Parse({"--gltf", "-o", "Model.GLTF", "a.3ds"}), std::invalid_argument);
  EXPECT_THROW(Parse({"--preview", "-o", "shot.png", "a.3ds"}), std::invalid_argument);
  // Without the option that writes beside it, or with another name, fine.
  EXPECT_NO_THROW(Parse({"-o", "model.glb", "a.3ds"}));
  EXPECT_NO_THROW(Parse({"--gltf", "--preview", "-o", "model.bmf", "a.3ds"}));
  EXPECT_NO_THROW(Parse({"--gltf", "-o", "-", "a.3ds"}));
}

// "-" is standard input, which has no name to write an output beside.
TEST(Options, StandardInputNeedsANamedOutput) {
  EXPECT_EQ(Parse({"-o", "x.bmf", "-"}).inputs, std::vector<std::string>({"-"}));
  EXPECT_EQ(Parse({"-o", "-", "-"}).inputs, std::vector<std::string>({"-"}));
  EXPECT_THROW(Parse({"-"}), std::invalid_argument);
  EXPECT_THROW(Parse({"-d", "out", "-"}), std::invalid_argument);
}

}  // namespace
