// 3ds2bmf as a user runs it: outputs, messages, exit status.
#include <gtest/gtest.h>

#include <csignal>
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
  EXPECT_NE(verbose.out.find("1 block, 8 vertices, 24 triangles, 0 degenerate dropped, default "
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
  EXPECT_NE(Tool(dir, "--help").out.find("--keep-file-winding"), std::string::npos);
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
  EXPECT_EQ(Tool(dir, "-q -v " + dir.file("box.3ds")).status, 2);
  EXPECT_EQ(Tool(dir, "-j 0 " + dir.file("box.3ds")).status, 2);
  EXPECT_EQ(Tool(dir, "--threads 0 " + dir.file("box.3ds")).status, 2);
  EXPECT_EQ(Tool(dir, "--threads=257 " + dir.file("box.3ds")).status, 2);
}

TEST_F(Cli, ConventionalCommandLines) {
  // Long forms, --opt=value, combined short flags, attached values, --.
  std::filesystem::create_directory(dir.file("out"));
  for (const std::string& args :
       {"-qj2 -o" + dir.file("a.bmf") + " " + dir.file("box.3ds"),
        "--quiet --jobs 2 --output=" + dir.file("b.bmf") + " " + dir.file("box.3ds"),
        "--output " + dir.file("c.bmf") + " -- " + dir.file("box.3ds"),
        "--dir=" + dir.file("out") + " --verbose " + dir.file("box.3ds"),
        "--threads 1 -o " + dir.file("d.bmf") + " " + dir.file("box.3ds"),
        "--threads=3 -j2 -o " + dir.file("e.bmf") + " " + dir.file("box.3ds")}) {
    const ToolRun run = Tool(dir, args);
    EXPECT_EQ(run.status, 0) << args << "\n" << run.err;
  }
  for (const char* name : {"a.bmf", "b.bmf", "c.bmf", "out/box.bmf", "d.bmf", "e.bmf"})
    EXPECT_EQ(ReadFile(dir.file(name)), ReadFile(dir.file("a.bmf"))) << name;
  const ToolRun bad = Tool(dir, "--jobs=two " + dir.file("box.3ds"));
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--jobs needs a whole number"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("Try '3ds2bmf --help'"), std::string::npos);
}

TEST_F(Cli, NeverWritesOverAnInput) {
  const std::vector<std::uint8_t> original = ReadFile(dir.file("box.3ds"));
  std::filesystem::create_symlink(dir.file("box.3ds"), dir.file("link.3ds"));
  std::filesystem::create_hard_link(dir.file("box.3ds"), dir.file("hard.bmf"));
  WriteFile(dir.file("pic.3ds"), original);
  std::filesystem::copy_file(dir.file("box.3ds"), dir.file("pic.png"));
  for (const std::string& args :
       {"-o " + dir.file("box.3ds") + " " + dir.file("box.3ds"),
        "-o " + dir.file("link.3ds") + " " + dir.file("box.3ds"),
        "-o " + dir.file("hard.bmf") + " " + dir.file("box.3ds"),
        "-d " + dir.file(".") + " " + dir.file("hard.3ds") + " " + dir.file("hard.bmf"),
        "--preview " + dir.file("pic.png") + " " + dir.file("pic.3ds"),
        "-o " + dir.file("x.bmf") + " " + dir.file("x.bmf")}) {
    const ToolRun run = Tool(dir, args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.err.find("is one of the input files"), std::string::npos) << run.err;
  }
  EXPECT_EQ(ReadFile(dir.file("box.3ds")), original);
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.bmf")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("pic.bmf")));
}

TEST_F(Cli, StandardOutputPipesAndDevicesAreWrittenInPlace) {
  const std::string box = dir.file("box.3ds");
  EXPECT_EQ(Tool(dir, box + " -o - > " + dir.file("piped.bmf")).status, 0);
  EXPECT_EQ(Tool(dir, box + " -o /dev/stdout | cat > " + dir.file("cat.bmf")).status, 0);
  WriteFile(dir.file("log"), {'L', '\n'});
  EXPECT_EQ(Tool(dir, box + " -o /dev/stdout >> " + dir.file("log")).status, 0);
  const std::vector<std::uint8_t> bmf = testing_support::Convert(ReadFile(box));
  EXPECT_EQ(ReadFile(dir.file("piped.bmf")), bmf);
  EXPECT_EQ(ReadFile(dir.file("cat.bmf")), bmf);
  std::vector<std::uint8_t> log{'L', '\n'};
  log.insert(log.end(), bmf.begin(), bmf.end());
  EXPECT_EQ(ReadFile(dir.file("log")), log);
  const ToolRun null_preview = Tool(dir, "--preview -o /dev/null " + box);
  EXPECT_EQ(null_preview.status, 0) << null_preview.err;
  EXPECT_NE(null_preview.err.find("no preview"), std::string::npos) << null_preview.err;
  EXPECT_EQ(Tool(dir, "--json -o - " + box + " > /dev/null").status, 2);
  for (const auto& entry : std::filesystem::directory_iterator(dir.file(".")))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST_F(Cli, InterruptedBatchLeavesOnlyCompleteFiles) {
  // Large enough that a conversion is in flight when the signal comes.
  std::filesystem::create_directory(dir.file("out"));
  std::string inputs;
  for (int i = 0; i < 12; ++i) {
    const std::string name = dir.file("big" + std::to_string(i) + ".3ds");
    WriteFile(name, t3ds::BuildFile(
                        {}, {t3ds::Torus("A", 2, 1, 250, 200 + i), t3ds::Torus("B", 3, 1, 250, 200),
                             t3ds::Torus("C", 4, 1, 250, 200)}));
    inputs += " " + name;
  }
  for (const char* signal : {"INT", "TERM", "HUP"}) {
    const ToolRun run = testing_support::RunCommand(
        std::string("timeout --preserve-status -s ") + signal + " 0.3 " + TORVIK_3DS2BMF +
            " -j 2 --preview -d " + dir.file("out") + inputs,
        dir);
    const int expected = 128 + (std::string(signal) == "INT"    ? SIGINT
                                : std::string(signal) == "TERM" ? SIGTERM
                                                                : SIGHUP);
    // A machine fast enough to finish first exits 0; the files must be whole either way.
    if (run.status != 0) {
      EXPECT_EQ(run.status, expected) << run.err;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("out"))) {
      EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
      if (entry.path().extension() != ".bmf") continue;
      const std::string source = dir.file(entry.path().stem().string() + ".3ds");
      EXPECT_EQ(ReadFile(entry.path().string()), testing_support::Convert(ReadFile(source)))
          << entry.path();
    }
    std::filesystem::remove_all(dir.file("out"));
    std::filesystem::create_directory(dir.file("out"));
  }
}

}  // namespace
