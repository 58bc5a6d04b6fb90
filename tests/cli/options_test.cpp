// Where 3ds2bmf puts its outputs, and what it refuses.
#include "options.h"

#include <gtest/gtest.h>

#include <stdexcept>

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

// "-" is standard input, which has no name to write an output beside.
TEST(Options, StandardInputNeedsANamedOutput) {
  EXPECT_EQ(Parse({"-o", "x.bmf", "-"}).inputs, std::vector<std::string>({"-"}));
  EXPECT_EQ(Parse({"-o", "-", "-"}).inputs, std::vector<std::string>({"-"}));
  EXPECT_THROW(Parse({"-"}), std::invalid_argument);
  EXPECT_THROW(Parse({"-d", "out", "-"}), std::invalid_argument);
}

}  // namespace
