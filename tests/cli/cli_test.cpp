// 3ds2bmf as a user runs it: outputs, messages, exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "shapes.h"
#include "test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using testing_support::ToolRun;

ToolRun Tool(const TempDir& dir, const std::string& args) {
  return testing_support::RunCommand(std::string(TORVIK_3DS2BMF) + " " + args, dir);
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    t3ds::Mesh box = t3ds::Box("Box", {0, 0, 0}, {1, 1, 1});
    WriteFile(dir.file("box.3ds"), t3ds::BuildFile({}, {box}));
    WriteFile(dir.file("torus.3DS"), t3ds::BuildFile({}, {t3ds::Torus("T", 2, 1, 8, 6)}));
    WriteFile(dir.file("bad.3ds"), {0x4D, 0x4D, 0x20, 0, 0, 0, 1, 2});
  }
  TempDir dir;
};

TEST_F(Cli, ConvertsBesideEachInput) {
  const ToolRun run = Tool(dir, "-q " + dir.file("box.3ds") + " " + dir.file("torus.3DS"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(dir.file("box.bmf")), testing_support::Convert(ReadFile(dir.file("box.3ds"))));
  EXPECT_TRUE(std::filesystem::exists(dir.file("torus.bmf")));
}

TEST_F(Cli, FailedFileLeavesNoOutputAndKeepsAnOldOne) {
  WriteFile(dir.file("bad.bmf"), {'o', 'l', 'd'});
  std::filesystem::create_directory(dir.file("out"));
  const ToolRun run = Tool(dir, "-d " + dir.file("out") + " " + dir.file("bad.3ds") + " " +
                                    dir.file("box.3ds") + " " + dir.file("missing.3ds"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("3ds2bmf: " + dir.file("bad.3ds") + ": "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("at byte"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("3ds2bmf: " + dir.file("missing.3ds") + ": can't open"),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.file("out/box.bmf")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/bad.bmf")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/missing.bmf")));

  const ToolRun named = Tool(dir, dir.file("bad.3ds") + " -o " + dir.file("bad.bmf"));
  EXPECT_EQ(named.status, 1);
  EXPECT_EQ(ReadFile(dir.file("bad.bmf")), std::vector<std::uint8_t>({'o', 'l', 'd'}));
}

TEST_F(Cli, JsonAndVerboseReports) {
  const ToolRun json = Tool(dir, "--json -j 2 " + dir.file("box.3ds") + " " + dir.file("bad.3ds"));
  EXPECT_EQ(json.status, 1);
  const std::size_t newline = json.out.find('\n');
  ASSERT_NE(newline, std::string::npos);
  const std::string first = json.out.substr(0, newline);
  EXPECT_NE(first.find("\"path\":\"" + dir.file("box.3ds") + "\""), std::string::npos) << first;
  EXPECT_NE(first.find("\"ok\":true"), std::string::npos);
  EXPECT_NE(first.find("\"blocks\":1,\"vertices\":8,\"triangles\":24"), std::string::npos) << first;
  EXPECT_NE(json.out.find("\"ok\":false,\"error\":\""), std::string::npos);

  const ToolRun verbose = Tool(dir, "-v " + dir.file("box.3ds"));
  EXPECT_EQ(verbose.status, 0);
  EXPECT_NE(verbose.out.find("1 blocks, 8 vertices, 24 triangles, 0 degenerate dropped, default "
                             "material used"),
            std::string::npos)
      << verbose.out;
}

TEST_F(Cli, SmoothingGroupsOnlyWhenAskedFor) {
  t3ds::Mesh box = t3ds::Box("Box", {0, 0, 0}, {1, 1, 1});
  box.smoothing = {1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32};
  WriteFile(dir.file("grouped.3ds"), t3ds::BuildFile({}, {box}));
  const ToolRun plain = Tool(dir, "--json " + dir.file("grouped.3ds"));
  EXPECT_NE(plain.out.find("\"vertices\":8,"), std::string::npos) << plain.out;
  const ToolRun hard = Tool(dir, "--json --smoothing-groups " + dir.file("grouped.3ds"));
  EXPECT_EQ(hard.status, 0) << hard.err;
  EXPECT_NE(hard.out.find("\"vertices\":24,"), std::string::npos) << hard.out;
  EXPECT_NE(Tool(dir, "--help").out.find("--smoothing-groups"), std::string::npos);
}

TEST_F(Cli, HelpVersionAndUsageErrors) {
  const ToolRun help = Tool(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: 3ds2bmf"), std::string::npos);
  EXPECT_EQ(Tool(dir, "--version").status, 0);
  const ToolRun usage = Tool(dir, "--bogus " + dir.file("box.3ds"));
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("unknown option"), std::string::npos);
  EXPECT_EQ(Tool(dir, "").status, 2);
  EXPECT_EQ(Tool(dir, "-d " + dir.file("o") + " a/x.3ds b/x.3ds").status, 2);
}

}  // namespace
