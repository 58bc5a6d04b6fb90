// 3ds2bmf as a user runs it: outputs, messages, exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "animated_demo.h"
#include "cache_metrics.h"
#include "keyframer_demo.h"
#include "materials_demo.h"
#include "presets.h"
#include "shapes.h"
#include "cli_tool.h"
#include "test_support.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"
#include "torvik32c/model_conversion.h"
#include "triangle_order.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using testing_support::ToolRun;

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

TEST_F(Cli, GltfBesideEachBmfWhenAskedFor) {
  const ToolRun json = Tool(dir, "--gltf --json -d " + dir.file("out") + " " + dir.file("box.3ds"));
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"gltf\":\"" + dir.file("out/box.glb") + "\""), std::string::npos)
      << json.out;
  const std::vector<std::uint8_t> glb = ReadFile(dir.file("out/box.glb"));
  ASSERT_GT(glb.size(), 4u);
  EXPECT_EQ(std::string(glb.begin(), glb.begin() + 4), "glTF");
  EXPECT_TRUE(std::filesystem::exists(dir.file("out/box.bmf")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("box.glb")));
}

// --list and --json name the animation, cameras and lights (the BMF is the
// same); --gltf animates them, its animation named after the input and
// timed by --fps.
TEST_F(Cli, AnimationCamerasAndLightsReportedAndExported) {
  const std::string input = dir.file("turntable.3ds");
  WriteFile(input, t3ds::BuildFile(t3ds::AnimatedDemo()));
  const std::string contents =
      "\"animation\":{\"frames\":[0,120],\"nodes\":5,\"keys\":21},\"cameras\":[\"Chase\"],"
      "\"lights\":[{\"name\":\"Lamp\",\"type\":\"omni\",\"on\":true},{\"name\":\"Spot\","
      "\"type\":\"spot\",\"on\":true}]";
  const ToolRun list = Tool(dir, "--list " + input);
  EXPECT_NE(list.out.find("  animation: frames 0 to 120, 5 animated nodes (21 keys)\n"
                          "  cameras: 1\n    \"Chase\"\n"
                          "  lights: 2\n    \"Lamp\" (omni)\n    \"Spot\" (spot)\n"),
            std::string::npos)
      << list.out;
  EXPECT_NE(Tool(dir, "--list --json " + input).out.find(contents), std::string::npos);
  const ToolRun json = Tool(dir, "--json -o " + dir.file("json.bmf") + " " + input);
  EXPECT_NE(json.out.find(contents), std::string::npos) << json.out;
  ASSERT_EQ(Tool(dir, "-q --gltf --fps 24 -o " + dir.file("plain.bmf") + " " + input).status, 0);
  EXPECT_EQ(ReadFile(dir.file("plain.bmf")), ReadFile(dir.file("json.bmf")));
  const std::vector<std::uint8_t> glb = ReadFile(dir.file("plain.glb"));
  const std::string text(glb.begin(), glb.end());
  EXPECT_NE(text.find("\"animations\":[{\"name\":\"turntable\""), std::string::npos);
  EXPECT_NE(text.find("\"max\":[5.0]"), std::string::npos);  // frame 120 at 24 a second
  EXPECT_EQ(Tool(dir, "--fps 0 " + input).status, 2);
  EXPECT_NE(Tool(dir, "--help").out.find("--fps N"), std::string::npos);
}

// -d is looked at once, before any work: a missing folder is created, a file
// is a usage error; a --texture-path that is not a folder is one warning.
TEST_F(Cli, FoldersAreCheckedBeforeAnyWork) {
  const std::string inputs = " " + dir.file("box.3ds") + " " + dir.file("torus.3DS");
  const ToolRun created = Tool(dir, "-d " + dir.file("new/sub") + inputs);
  EXPECT_EQ(created.status, 0) << created.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("new/sub/box.bmf")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("new/sub/torus.bmf")));

  WriteFile(dir.file("plain"), {'x'});
  const ToolRun file = Tool(dir, "-d " + dir.file("plain") + inputs);
  EXPECT_EQ(file.status, 2);
  EXPECT_EQ(file.err, "3ds2bmf: " + dir.file("plain") + ": -d needs a folder, not a file\n");
  const ToolRun below = Tool(dir, "-d " + dir.file("plain/sub") + inputs);
  EXPECT_EQ(below.status, 1);
  EXPECT_EQ(below.err.rfind("3ds2bmf: " + dir.file("plain/sub") + ": can't create the folder: ", 0),
            0u)
      << below.err;
  EXPECT_EQ(std::count(below.err.begin(), below.err.end(), '\n'), 1);
  // A run refused for its outputs creates nothing.
  EXPECT_EQ(Tool(dir, "-d " + dir.file("never") + " a/x.3ds b/x.3ds").status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir.file("never")));

  const ToolRun search = Tool(dir, "--texture-path " + dir.file("nowhere") + " --texture-path " +
                                       dir.file("plain") + inputs);
  EXPECT_EQ(search.status, 0) << search.err;
  EXPECT_EQ(search.err.rfind(
                "3ds2bmf: " + dir.file("nowhere") +
                    ": --texture-path is not a folder (ignored)\n3ds2bmf: " + dir.file("plain") +
                    ": --texture-path is not a folder (ignored)\n"
                    "3ds2bmf: 2 files: 2 converted, 0 failed, 0 warnings, ",
                0),
            0u)
      << search.err;
  EXPECT_EQ(Tool(dir, "-q --texture-path " + dir.file("nowhere") + inputs).err, "");
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

TEST_F(Cli, KeyframerAppliedOnlyWhenAskedForAndNotedByDefault) {
  const t3ds::Scene gate = t3ds::KeyframerDemo();
  const std::string input = dir.file("gate.3ds");
  WriteFile(input, t3ds::BuildFile(gate.materials, gate.meshes, gate.nodes));
  WriteFile(dir.file("unkeyed.3ds"), t3ds::BuildFile(gate.materials, gate.meshes));
  const auto bmf = [&](const std::string& args, const std::string& file, const std::string& out) {
    const ToolRun run = Tool(dir, args + " -o " + dir.file(out) + " " + file);
    EXPECT_EQ(run.status, 0) << run.err;
    return run;
  };

  // By default the meshes are drawn as stored, with a note.
  EXPECT_EQ(bmf("", input, "plain.bmf").err,
            "3ds2bmf: " + input +
                ": the keyframer draws 2 more instances and moves 3 objects; --keyframer applies "
                "it\n");
  EXPECT_EQ(bmf("", dir.file("unkeyed.3ds"), "unkeyed.bmf").err, "");
  EXPECT_EQ(ReadFile(dir.file("plain.bmf")), ReadFile(dir.file("unkeyed.bmf")));
  EXPECT_EQ(bmf("-q", input, "quiet.bmf").err, "");
  const ToolRun json = bmf("--json", input, "json.bmf");
  EXPECT_NE(json.out.find("\"triangles\":60,"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"keyframer\":{\"nodes\":8,\"instances\":2,\"moved\":3}"),
            std::string::npos)
      << json.out;

  // --list says the same and writes nothing.
  const ToolRun list = Tool(dir, "--list " + input + " --json " + dir.file("unkeyed.3ds"));
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_NE(
      list.out.find("\"textures\":[],\"keyframer\":{\"nodes\":8,\"instances\":2,\"moved\":3}"),
      std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find("\"keyframer\":{\"nodes\":0,\"instances\":0,\"moved\":0}"),
            std::string::npos);
  EXPECT_NE(Tool(dir, "--list " + input)
                .out.find("  keyframer: 8 nodes, 2 more instances, 3 objects moved\n"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("gate.bmf")));

  // Applied: seven boxes of twelve triangles, no note.
  const ToolRun applied = bmf("--keyframer --json", input, "applied.bmf");
  EXPECT_EQ(applied.err, "");
  EXPECT_NE(applied.out.find("\"triangles\":84,"), std::string::npos) << applied.out;
  bmf("--keyframer --keep-file-winding --smoothing-groups", input, "all.bmf");
  bmf("--as-authored", input, "authored.bmf");
  EXPECT_EQ(ReadFile(dir.file("authored.bmf")), ReadFile(dir.file("all.bmf")));
  EXPECT_NE(ReadFile(dir.file("authored.bmf")), ReadFile(dir.file("plain.bmf")));
  // A file without a keyframer gives the same bytes with the option.
  bmf("--keyframer", dir.file("box.3ds"), "box-keyed.bmf");
  bmf("", dir.file("box.3ds"), "box-plain.bmf");
  EXPECT_EQ(ReadFile(dir.file("box-keyed.bmf")), ReadFile(dir.file("box-plain.bmf")));

  // Past --max-placed-faces the file fails before anything is drawn.
  const ToolRun refused =
      Tool(dir, "--keyframer --max-placed-faces 83 -o " + dir.file("refused.bmf") + " " + input);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "3ds2bmf: " + input +
                             ": the keyframer would draw 84 faces, more than the 83 that "
                             "--max-placed-faces allows\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("refused.bmf")));
  bmf("--keyframer --max-placed-faces=84", input, "limit.bmf");
  EXPECT_EQ(ReadFile(dir.file("limit.bmf")), ReadFile(dir.file("applied.bmf")));
  EXPECT_EQ(Tool(dir, "--max-placed-faces 0 " + input).status, 2);

  // A damaged or inconsistent keyframer: the meshes as stored, and a warning.
  t3ds::Scene cycle = gate;
  cycle.nodes[2].parent = 3;
  WriteFile(dir.file("cycle.3ds"), t3ds::BuildFile(gate.materials, gate.meshes, cycle.nodes));
  t3ds::Scene orphan = gate;
  orphan.nodes[3].parent = 40;
  WriteFile(dir.file("orphan.3ds"), t3ds::BuildFile(gate.materials, gate.meshes, orphan.nodes));
  t3ds::ChunkWriter cut;
  cut.begin(0x4D4D).begin(0x3D3D);
  for (const t3ds::Material& material : gate.materials) t3ds::WriteMaterial(cut, material);
  for (const t3ds::Mesh& mesh : gate.meshes) t3ds::WriteObject(cut, mesh);
  cut.end().begin(0xB000).begin(0xB002);
  cut.begin(0xB010).str("Roof").u16(0).u16(0).u16(0xFFFF).end();
  cut.begin(0xB020).u16(0).u32(0).u32(0).u32(3).u32(0).u16(0).f32(0).f32(0).f32(9).end();
  cut.end().end().end();
  WriteFile(dir.file("cut.3ds"), cut.bytes());
  for (const char* name : {"cycle", "orphan", "cut"}) {
    const std::string file = dir.file(std::string(name) + ".3ds");
    const ToolRun run = bmf("--keyframer", file, std::string(name) + ".bmf");
    EXPECT_EQ(run.err.rfind("3ds2bmf: " + file + ": the keyframer is ignored: ", 0), 0u) << run.err;
    EXPECT_EQ(ReadFile(dir.file(std::string(name) + ".bmf")), ReadFile(dir.file("plain.bmf")))
        << name;
  }
}

TEST_F(Cli, OrientOutwardReversesInwardMeshesWhenAskedFor) {
  t3ds::Mesh inward = t3ds::Box("In", {0, 0, 0}, {1, 1, 1});
  for (t3ds::Face& face : inward.faces) std::swap(face.b, face.c);
  WriteFile(dir.file("inward.3ds"), t3ds::BuildFile({}, {inward}));
  const ToolRun plain = Tool(dir, "--json -o " + dir.file("in.bmf") + " " + dir.file("inward.3ds"));
  EXPECT_EQ(plain.out.find("\"reversed\""), std::string::npos) << plain.out;
  const ToolRun turned =
      Tool(dir, "--json --orient-outward -o " + dir.file("out.bmf") + " " + dir.file("inward.3ds"));
  EXPECT_NE(turned.out.find("\"reversed\":1"), std::string::npos) << turned.out;
  Tool(dir, "-o " + dir.file("box-plain.bmf") + " " + dir.file("box.3ds"));
  EXPECT_EQ(ReadFile(dir.file("out.bmf")), ReadFile(dir.file("box-plain.bmf")));
  for (const char* option : {"--keyframer", "--as-authored", "--orient-outward"})
    EXPECT_NE(Tool(dir, "--help").out.find(option), std::string::npos) << option;
}

// The optimized file holds the plain file's blocks with the same triangles
// (as vertex records, up to rotation), in an order no worse for the cache.
void ExpectOnlyTheOrderImproved(const std::string& plain_path, const std::string& optimized_path) {
  const torvik::BmfFile plain = torvik::ReadBmfFile(plain_path);
  const torvik::BmfFile optimized = torvik::ReadBmfFile(optimized_path);
  EXPECT_TRUE(torvik::ValidateBmf(optimized).empty()) << optimized_path;
  ASSERT_EQ(optimized.blocks.size(), plain.blocks.size()) << optimized_path;
  for (std::size_t b = 0; b < plain.blocks.size(); ++b) {
    const torvik::BmfBlock& p = plain.blocks[b];
    const torvik::BmfBlock& o = optimized.blocks[b];
    EXPECT_EQ(o.name_field, p.name_field);
    EXPECT_EQ(std::memcmp(&o.diffuse, &p.diffuse, sizeof p.diffuse), 0);
    EXPECT_EQ(o.vertices.size(), p.vertices.size()) << optimized_path << " block " << b;
    EXPECT_EQ(testing_support::TriangleRecords(o.vertices, o.triangles),
              testing_support::TriangleRecords(p.vertices, p.triangles))
        << optimized_path << " block " << b;
    if (p.triangles.empty()) continue;
    EXPECT_LE(MeasureVertexCache(o)->transformed, MeasureVertexCache(p)->transformed)
        << optimized_path << " block " << b;
  }
}

TEST_F(Cli, OptimizeChangesOnlyTheOrderOfEachBlocksTriangles) {
  WriteFile(dir.file("small.3ds"), t3ds::BuildPreset("small"));
  // Three tori on one material: more vertices than one block holds.
  std::vector<t3ds::Mesh> tori;
  for (int i = 0; i < 3; ++i) {
    tori.push_back(t3ds::Torus("T" + std::to_string(i), 3, 1, 150, 150, {8.0f * i, 0, 0}));
    t3ds::AssignAll(tori.back(), "M");
    for (std::size_t f = 0; f < tori.back().faces.size(); ++f)
      tori.back().smoothing.push_back(f / 2 % 3 == 0 ? 1 : 2);
  }
  WriteFile(dir.file("split.3ds"), t3ds::BuildFile({t3ds::Material{.name = "M",
                                                                   .ambient = {},
                                                                   .diffuse = {},
                                                                   .specular = {},
                                                                   .transparency = {},
                                                                   .texture = ""}},
                                                   tori));
  for (const std::string name : {"small", "split", "torus"}) {
    for (const std::string flags : {"", "--smoothing-groups "}) {
      const std::string input = dir.file(name == "torus" ? "torus.3DS" : name + ".3ds");
      const std::string plain = dir.file(name + "-plain.bmf");
      const std::string optimized = dir.file(name + "-optimized.bmf");
      ASSERT_EQ(Tool(dir, flags + input + " -o " + plain).status, 0);
      const ToolRun run = Tool(dir, flags + "--optimize " + input + " -o " + optimized);
      ASSERT_EQ(run.status, 0) << run.err;
      ExpectOnlyTheOrderImproved(plain, optimized);
      if (name != "torus") {  // too small to gain
        EXPECT_NE(ReadFile(plain), ReadFile(optimized)) << flags << name;
      }
    }
  }
  EXPECT_GE(torvik::ReadBmfFile(dir.file("split-optimized.bmf")).blocks.size(), 2u);
  EXPECT_NE(Tool(dir, "--help").out.find("--optimize"), std::string::npos);
}

// Equal triangles, mirror images and rotations are told apart as the
// writer needs: each input triangle is named once.
TEST(GpuTriangleOrder, NamesEachTriangleOnce) {
  std::vector<std::uint32_t> corners;
  for (std::uint32_t i = 0; i < 300; ++i) {
    const std::uint32_t a = i % 40, b = (i * 7 + 1) % 40, c = (i * 13 + 2) % 40;
    corners.insert(corners.end(), {a, b, c, a, b, c, c, b, a, b, c, a});
  }
  std::vector<float> positions;
  for (int v = 0; v < 40; ++v)
    positions.insert(positions.end(), {static_cast<float>(v % 5), static_cast<float>(v / 5), 0});
  const std::vector<std::uint32_t> order = GpuTriangleOrder({corners, positions, 40});
  EXPECT_FALSE(std::is_sorted(order.begin(), order.end()));  // reordered, not kept
  std::vector<std::uint32_t> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  for (std::uint32_t t = 0; t < sorted.size(); ++t) ASSERT_EQ(sorted[t], t);
  ASSERT_EQ(order.size(), corners.size() / 3);
}

TEST_F(Cli, HelpVersionAndUsageErrors) {
  const ToolRun help = Tool(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: 3ds2bmf"), std::string::npos);
  // This build has every library: its help names nothing as refused.
  EXPECT_EQ(help.out.find("This build refuses"), std::string::npos);
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
  // Reported as written: no value for a flag, no flag cluster taken apart.
  for (const char* flag : {"--help=x", "--version=3", "--quiet=1"}) {
    const ToolRun valued = Tool(dir, std::string(flag) + " " + dir.file("box.3ds"));
    EXPECT_EQ(valued.status, 2) << flag;
    EXPECT_EQ(valued.err.substr(0, valued.err.find('\n')),
              "3ds2bmf: option " + std::string(flag).substr(0, std::string(flag).find('=')) +
                  " takes no value, not '" + flag + "'");
  }
  const ToolRun cluster = Tool(dir, "-q -v.3ds");
  EXPECT_EQ(cluster.status, 2);
  EXPECT_NE(cluster.err.find("unknown option '-v.3ds'"), std::string::npos) << cluster.err;
  // -o names the BMF: with --gltf, a .glb name is refused before anything is
  // written.
  const ToolRun glb = Tool(dir, "--gltf -o " + dir.file("box.glb") + " " + dir.file("box.3ds"));
  EXPECT_EQ(glb.status, 2);
  EXPECT_NE(glb.err.find("the file of --gltf the name " + dir.file("box.glb.glb")),
            std::string::npos)
      << glb.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("box.glb")));
  // The README's usage block names every option --help does.
  const std::vector<std::uint8_t> readme = ReadFile(TORVIK_README);
  const std::string text(readme.begin(), readme.end());
  const std::size_t block = text.find("3ds2bmf [options] INPUT...");
  ASSERT_NE(block, std::string::npos);
  const std::string usage_block = text.substr(block, text.find("```", block) - block);
  std::istringstream lines(help.out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t dashes = line.find("--");
    if (line.rfind("  ", 0) != 0 || dashes == std::string::npos || dashes > 10) continue;
    const std::string option = line.substr(dashes, line.find_first_of(" ,=", dashes) - dashes);
    EXPECT_NE(usage_block.find(option), std::string::npos) << option << " is not in README.md";
  }
}

TEST_F(Cli, SeveralFilesEndWithASummaryLine) {
  const ToolRun run = Tool(dir, dir.file("box.3ds") + " " + dir.file("bad.3ds"));
  EXPECT_EQ(run.status, 1);
  const std::string last = run.err.substr(run.err.rfind('\n', run.err.size() - 2) + 1);
  EXPECT_EQ(last.rfind("3ds2bmf: 2 files: 1 converted, 1 failed, 0 warnings, ", 0), 0u) << last;
  EXPECT_EQ(last.substr(last.size() - 3), " s\n");
  EXPECT_EQ(Tool(dir, "-q " + dir.file("box.3ds") + " " + dir.file("bad.3ds")).err.find("files:"),
            std::string::npos);
  EXPECT_EQ(Tool(dir, dir.file("box.3ds")).err, "");  // one file: no summary
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

// Any name the file system allows is an output, however little room its
// length leaves for the temporary file's name.
TEST_F(Cli, OutputNamesUpToTheLongestAllowed) {
  for (const std::size_t length : {237u, 246u, 255u}) {
    const std::string name = std::string(length - 4, 'n') + ".bmf";
    const ToolRun run =
        Tool(dir, "--preview --gltf -o " + dir.file(name) + " " + dir.file("box.3ds"));
    EXPECT_EQ(run.status, 0) << length << "\n" << run.err;
    for (const char* extension : {".bmf", ".png", ".glb"})
      EXPECT_TRUE(std::filesystem::exists(dir.file(std::string(length - 4, 'n') + extension)))
          << length << extension;
  }
  EXPECT_TRUE(NoTemporaryFiles(dir.file(".")));
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

// SIGTERM while --gltf samples a long animation (cameras that follow a
// target of many keys) stops it: the BMF, when written, is whole, and no
// .glb is left.
TEST_F(Cli, InterruptedGltfLeavesNoGlb) {
  std::vector<t3ds::Node> nodes = {{.id = 0, .name = "Cam", .kind = 0xB004}};
  for (std::uint32_t f = 0; f < 30000; ++f)
    nodes[0].position_keys.push_back({.frame = f, .value = {static_cast<float>(f % 5), 0, 1}});
  for (std::uint16_t i = 0; i < 1000; ++i) {
    const auto id = static_cast<std::uint16_t>(1 + 2 * i);
    nodes.push_back({.id = id,
                     .name = "Cam",
                     .position = t3ds::Vec3{static_cast<float>(i), -20, 5},
                     .kind = 0xB003});
    nodes.push_back({.id = static_cast<std::uint16_t>(id + 1),
                     .name = "Box",
                     .parent = id,
                     .instance = "Box." + std::to_string(i),
                     .position = t3ds::Vec3{0, 0, 0}});
  }
  const std::string input = dir.file("watched.3ds");
  WriteFile(input, t3ds::BuildFile({}, {t3ds::Box("Box", {0, 0, 0}, {1, 1, 1})}, nodes,
                                   {.cameras = {{.name = "Cam", .target = {0, 0, 1}}}}));
  const ToolRun run = testing_support::RunCommand(
      std::string("timeout --preserve-status -s TERM 0.5 ") + TORVIK_3DS2BMF + " --gltf -o " +
          dir.file("watched.bmf") + " " + input,
      dir);
  // A machine fast enough to finish first exits 0, with both files.
  EXPECT_EQ(std::filesystem::exists(dir.file("watched.glb")), run.status == 0) << run.err;
  if (run.status != 0) {
    EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
    if (std::filesystem::exists(dir.file("watched.bmf"))) {
      EXPECT_EQ(ReadFile(dir.file("watched.bmf")), testing_support::Convert(ReadFile(input)));
    }
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.file(".")))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

// Standard input, a pipe and a FIFO are read to their end, and a FIFO
// nobody writes to is no reason to ignore Ctrl-C or SIGTERM.  Every command
// here runs under a time limit, so that a fault can't hang the suite.
TEST_F(Cli, PipesFifosAndStandardInputAreReadToTheirEnd) {
  const std::string tool = std::string("timeout -k 5 30 ") + TORVIK_3DS2BMF;
  const std::vector<std::uint8_t> bmf = testing_support::Convert(ReadFile(dir.file("box.3ds")));
  ToolRun run = testing_support::RunCommand(
      "cat " + dir.file("box.3ds") + " | " + tool + " -o " + dir.file("piped.bmf") + " -", dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir.file("piped.bmf")), bmf);
  run = testing_support::RunCommand(
      tool + " -o - - < " + dir.file("box.3ds") + " > " + dir.file("through.bmf"), dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir.file("through.bmf")), bmf);
  run = Tool(dir, "- < " + dir.file("box.3ds"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("the input - (standard input) needs -o FILE"), std::string::npos)
      << run.err;
  // A stream is read to its main chunk's end, or to its first 6 bytes when
  // they are not the main chunk's header, while its writer holds it open
  // (a read that waited for its end would be stopped by the time limit).
  const std::string held = "timeout -k 5 10 " + std::string(TORVIK_3DS2BMF) + " -o ";
  run = testing_support::RunCommand(
      "{ cat " + dir.file("box.3ds") + "; sleep 20 & } | " + held + dir.file("held.bmf") + " -",
      dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir.file("held.bmf")), bmf);
  run = testing_support::RunCommand(
      "{ printf 'no 3DS'; sleep 20 & } | " + held + dir.file("none.bmf") + " -", dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("-: not a 3DS file: it begins with chunk 0x6F6E"), std::string::npos)
      << run.err;

  const std::string fifo = dir.file("fifo.3ds");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  run = testing_support::RunCommand("(timeout 30 sh -c 'cat " + dir.file("box.3ds") + " > " + fifo +
                                        "' &) ; " + tool + " " + fifo,
                                    dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("seek"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir.file("fifo.bmf")), bmf);
  std::filesystem::remove(dir.file("fifo.bmf"));
  // The signal comes once the tool has opened the FIFO (opening it for
  // writing waits for that), however slowly the tool starts.
  for (const char* signal : {"INT", "TERM"}) {
    run = testing_support::RunCommand(
        std::string("timeout -k 5 30 sh -c '\"$0\" \"$1\" & p=$!; exec 3>\"$1\"; kill -") + signal +
            " $p; wait $p' " + TORVIK_3DS2BMF + " " + fifo,
        dir);
    EXPECT_EQ(run.status, 128 + (std::string(signal) == "INT" ? SIGINT : SIGTERM)) << run.err;
    EXPECT_NE(run.err.find("interrupted: 0 of 1 files converted"), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("fifo.bmf")));
}

// A house whose textures lie the way real models ship them: upper-case 8.3
// names, a folder named after the model, a cut long name, a DOS path, one
// missing and one in two places.
class CliTextures : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<t3ds::Material> materials;
    for (const char* texture : {"ROOFTILE.JPG", "WINDOWFR.JPG", "C:\\3DSMAX\\MAPS\\WOOD.JPG",
                                "MISSING.JPG", "STONE.JPG", "ROOFTILE.JPG", ""})
      materials.push_back(
          {std::string("M") + std::to_string(materials.size()), {}, {}, {}, {}, false, texture});
    WriteFile(dir.file("house.3ds"),
              t3ds::BuildFile(materials, {t3ds::Box("B", {0, 0, 0}, {1, 1, 1})}));
    Texture("house_maps/roofTile.jpg", "roof");
    Texture("windowframe_oak.jpg", "window");
    Texture("Maps/wood.jpg", "wood");
    Texture("maps/stone.jpg", "stone");
    Texture("textures/Stone.jpg", "other stone");
  }
  void Texture(const std::string& relative, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(dir.file(relative)).parent_path());
    WriteFile(dir.file(relative), std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  std::string Text(const std::string& relative) const {
    const std::vector<std::uint8_t> bytes = ReadFile(dir.file(relative));
    return std::string(bytes.begin(), bytes.end());
  }
  TempDir dir;
};

TEST_F(CliTextures, VerboseJsonAndWarningsReportEveryTexture) {
  const ToolRun run = Tool(dir, "-v " + dir.file("house.3ds"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(", textures 4/5 found, "), std::string::npos) << run.out;
  const std::string prefix = "3ds2bmf: " + dir.file("house.3ds") + ": texture ";
  EXPECT_EQ(run.err, prefix + "\"MISSING.JPG\" not found\n" + prefix +
                         "\"STONE.JPG\" is ambiguous: " + dir.file("maps/stone.jpg") + ", " +
                         dir.file("textures/Stone.jpg") + " (using " + dir.file("maps/stone.jpg") +
                         ")\n");
  EXPECT_TRUE(std::filesystem::exists(dir.file("house.bmf")));
  EXPECT_EQ(Tool(dir, "-q " + dir.file("house.3ds")).err, "");

  const ToolRun json = Tool(dir, "--json " + dir.file("house.3ds"));
  auto object = [&](const std::string& name, const std::string& path, const std::string& rule,
                    const std::string& candidates) {
    return "{\"name\":\"" + name + "\",\"path\":" + path + ",\"rule\":" + rule +
           ",\"candidates\":[" + candidates + "]}";
  };
  // Built by appending: GCC 12 warns falsely (-Wrestrict) of "\"" + string.
  auto quoted = [&](const std::string& relative) {
    return std::string(1, '"').append(dir.file(relative)) += '"';
  };
  const std::string expected =
      ",\"textures\":[" +
      object("ROOFTILE.JPG", quoted("house_maps/roofTile.jpg"), "\"subfolder\"", "") + "," +
      object("WINDOWFR.JPG", quoted("windowframe_oak.jpg"), "\"8.3\"", "") + "," +
      object("C:\\\\3DSMAX\\\\MAPS\\\\WOOD.JPG", quoted("Maps/wood.jpg"), "\"subfolder\"", "") +
      "," + object("MISSING.JPG", "null", "null", "") + "," +
      object("STONE.JPG", quoted("maps/stone.jpg"), "\"subfolder\"",
             quoted("maps/stone.jpg") + "," + quoted("textures/Stone.jpg")) +
      "]";
  EXPECT_NE(json.out.find(expected), std::string::npos) << json.out << "\n" << expected;

  // An extra folder finds the missing one; relative folders give relative paths.
  Texture("library/missing.jpg", "found");
  const ToolRun more = testing_support::RunCommand(
      "cd " + dir.path().string() + " && " + TORVIK_3DS2BMF +
          " --json --texture-path nowhere --texture-path=library house.3ds",
      dir);
  EXPECT_NE(more.out.find(object("MISSING.JPG", "\"library/missing.jpg\"", "\"path\"", "")),
            std::string::npos)
      << more.out;
}

// --gltf embeds the textures that were found; a missing one is warned of
// once, one that is no image leaves its material untextured with a warning.
TEST_F(CliTextures, GltfEmbedsTheTexturesFound) {
  const std::filesystem::path crate =
      std::filesystem::path(TORVIK_SAMPLE).parent_path() / "crate.3ds";
  ASSERT_EQ(Tool(dir, "--gltf -d " + dir.path().string() + " " + crate.string()).status, 0);
  const std::string glb = Text("crate.glb");
  std::size_t images = 0;
  for (std::size_t at = glb.find("\"image/png\""); at != std::string::npos;
       at = glb.find("\"image/png\"", at + 1))
    ++images;
  EXPECT_EQ(images, 2u);  // both TGA textures, as PNG

  t3ds::Mesh roof = t3ds::Box("Roof", {0, 0, 0}, {1, 1, 1});
  t3ds::Mesh lost = t3ds::Box("Lost", {2, 0, 0}, {3, 1, 1});
  t3ds::AssignAll(roof, "Roof");
  t3ds::AssignAll(lost, "Lost");
  WriteFile(dir.file("house.3ds"), t3ds::BuildFile({{"Roof", {}, {}, {}, {}, false, "ROOFTILE.JPG"},
                                                    {"Lost", {}, {}, {}, {}, false, "MISSING.JPG"}},
                                                   {roof, lost}));
  const ToolRun run = Tool(dir, "--gltf " + dir.file("house.3ds"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("MISSING.JPG"), run.err.rfind("MISSING.JPG")) << run.err;
  // The glTF's warnings name the model, as the conversion's do.
  EXPECT_NE(run.err.find("3ds2bmf: " + dir.file("house.3ds") +
                         ": warning: texture 'ROOFTILE.JPG' of material 'Roof': " +
                         dir.file("house_maps/roofTile.jpg") + ": not an image"),
            std::string::npos)
      << run.err;
}

TEST_F(CliTextures, RequireTexturesFailsTheFileAndLeavesNoBmf) {
  WriteFile(dir.file("house.bmf"), {'o', 'l', 'd'});
  const ToolRun run = Tool(dir, "--require-textures " + dir.file("house.3ds"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("3ds2bmf: " + dir.file("house.3ds") +
                         ": 2 of 5 textures missing or ambiguous (--require-textures)"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Text("house.bmf"), "old");
  std::filesystem::remove(dir.file("house.bmf"));
  EXPECT_EQ(
      Tool(dir, "--require-textures -o " + dir.file("house.bmf") + " " + dir.file("house.3ds"))
          .status,
      1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("house.bmf")));

  Texture("missing.jpg", "here");
  std::filesystem::remove(dir.file("textures/Stone.jpg"));
  const ToolRun ok = Tool(dir, "--require-textures " + dir.file("house.3ds"));
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("house.bmf")));
}

// The conversion the web page's module and the Python module run says and
// writes what 3ds2bmf does.
TEST_F(CliTextures, ConvertModelSaysAndWritesWhat3ds2bmfDoes) {
  const std::string house = dir.file("house.3ds");
  const ToolRun run = Tool(dir, "--smoothing-groups -o " + dir.file("cli.bmf") + " " + house);
  ASSERT_EQ(run.status, 0) << run.err;
  torvik::ConversionSettings settings;
  settings.smoothing_groups = true;
  std::vector<std::string> stages;
  const torvik::ConversionReport report = torvik::ConvertModel(
      ReadFile(house), house, settings, [&](const char* stage) { stages.push_back(stage); });
  EXPECT_EQ(report.bmf, ReadFile(dir.file("cli.bmf")));
  EXPECT_EQ(stages, (std::vector<std::string>{"reading", "converting", "textures", "writing"}));
  std::string notes;
  for (const std::string& warning : report.warnings)
    notes.append("3ds2bmf: ").append(warning) += '\n';
  EXPECT_EQ(notes, run.err);
  EXPECT_EQ(report.textures.size(), 5u);

  settings.require_textures = true;
  const ToolRun required = Tool(dir, "--require-textures " + house);
  try {
    torvik::ConvertModel(ReadFile(house), house, settings);
    ADD_FAILURE() << "no MissingTextures";
  } catch (const torvik::MissingTextures& missing) {
    EXPECT_NE(required.err.find(house + ": " + missing.what()), std::string::npos) << required.err;
    EXPECT_EQ(missing.textures.size(), 5u);
  }
  // Without a place, no texture is looked up and no warning names one.
  settings = {};
  settings.resolve_textures = false;
  const torvik::ConversionReport bare = torvik::ConvertModel(ReadFile(house), "", settings);
  EXPECT_TRUE(bare.textures.empty() && bare.warnings.empty());
  const std::atomic<bool> cancel{true};
  settings.cancel = &cancel;
  EXPECT_THROW(torvik::ConvertModel(ReadFile(house), house, settings), torvik::Cancelled);

  // A destination that is the model file, by any name, is refused before
  // any work: the model stays as it was.
  settings = {};
  const std::vector<std::uint8_t> model = ReadFile(house);
  std::filesystem::create_symlink("house.3ds", dir.file("link.3ds"));
  std::filesystem::create_directory(dir.file("sub"));
  for (const std::string& same : {house, dir.file("link.3ds"), dir.file("sub/../house.3ds")}) {
    settings.destination = same;
    EXPECT_THROW(torvik::ConvertModel(model, house, settings), torvik::DestinationIsModel) << same;
    EXPECT_EQ(ReadFile(house), model);
  }
}

TEST_F(CliTextures, CopyTexturesPutsThemUnderTheStoredNamesBesideTheBmf) {
  std::filesystem::create_directory(dir.file("out"));
  Texture("out/WINDOWFR.JPG", "someone else's window");  // different bytes: kept
  Texture("out/WOOD.JPG", "wood");                       // the same bytes: fine
  const ToolRun run =
      Tool(dir, "-v --copy-textures -d " + dir.file("out") + " " + dir.file("house.3ds"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(", textures 4/5 found, 3 copied, "), std::string::npos) << run.out;
  EXPECT_NE(run.err.find(": texture \"WINDOWFR.JPG\": " + dir.file("out/WINDOWFR.JPG") +
                         " already exists with other contents: not overwritten\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Text("out/ROOFTILE.JPG"), "roof");
  EXPECT_EQ(Text("out/WINDOWFR.JPG"), "someone else's window");
  EXPECT_EQ(Text("out/WOOD.JPG"), "wood");
  EXPECT_EQ(Text("out/STONE.JPG"), "stone");  // the pick of an ambiguous name
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/MISSING.JPG")));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.file("out")))
    ++files;
  EXPECT_EQ(files, 5u);  // four textures and the BMF: no temporary files left

  const ToolRun json =
      Tool(dir, "--json --copy-textures -d " + dir.file("out") + " " + dir.file("house.3ds"));
  EXPECT_NE(json.out.find("\"rule\":\"subfolder\",\"candidates\":[],\"copied\":true}"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"name\":\"MISSING.JPG\",\"path\":null,\"rule\":null,\"candidates\":[],"
                          "\"copied\":false}"),
            std::string::npos);
}

// A preview written beside the BMF is named after the model: a later run
// never takes it for the model's texture by another extension.
TEST_F(CliTextures, AnEarlierPreviewIsNeverATexture) {
  t3ds::Mesh cube = t3ds::Box("Cube", {0, 0, 0}, {1, 1, 1});
  t3ds::AssignAll(cube, "Skin");
  WriteFile(dir.file("cube.3ds"),
            t3ds::BuildFile({{"Skin", {}, {}, {}, {}, false, "CUBE.TGA"}}, {cube}));
  for (int run = 0; run < 2; ++run) {
    const ToolRun again = Tool(dir, "-v --preview " + dir.file("cube.3ds"));
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find("texture \"CUBE.TGA\" not found"), std::string::npos) << again.err;
    EXPECT_NE(again.out.find("textures 0/1 found"), std::string::npos) << again.out;
  }
  EXPECT_TRUE(std::filesystem::exists(dir.file("cube.png")));
  EXPECT_EQ(Tool(dir, "--require-textures " + dir.file("cube.3ds")).status, 1);
}

// --texture decides a name in every command; a choice that names no file
// is a usage error.
TEST_F(CliTextures, TextureOptionDecidesAName) {
  const ToolRun run =
      Tool(dir, "--json --require-textures --texture stone.jpg=" + dir.file("textures/Stone.jpg") +
                    " --texture=MISSING.JPG=" + dir.file("maps/stone.jpg") + " " +
                    dir.file("house.3ds"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("{\"name\":\"STONE.JPG\",\"path\":\"" + dir.file("textures/Stone.jpg") +
                         "\",\"rule\":\"given\",\"candidates\":[]}"),
            std::string::npos)
      << run.out;
  for (const std::string& bad :
       {std::string("STONE.JPG"), std::string("=x.jpg"), "STONE.JPG=" + dir.file("nothing.jpg"),
        "STONE.JPG=" + dir.file("maps")}) {
    const ToolRun refused = Tool(dir, "--texture " + bad + " " + dir.file("house.3ds"));
    EXPECT_EQ(refused.status, 2) << bad;
    EXPECT_NE(refused.err.find("--texture"), std::string::npos) << refused.err;
  }
}

// --list reads the model and writes nothing; stored names print as stored.
TEST_F(CliTextures, ListShowsTheTexturesAndWritesNothing) {
  const ToolRun list = Tool(dir, "--list " + dir.file("house.3ds"));
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.err, "");
  EXPECT_EQ(list.out.rfind(dir.file("house.3ds") + "\n  textures: 4 of 5 found\n", 0), 0u)
      << list.out;
  EXPECT_NE(list.out.find("    \"C:\\3DSMAX\\MAPS\\WOOD.JPG\": " + dir.file("Maps/wood.jpg") +
                          " (subfolder)\n"),
            std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find("    \"STONE.JPG\": " + dir.file("maps/stone.jpg") +
                          " (subfolder, 2 candidates)\n      " + dir.file("maps/stone.jpg") +
                          "\n      " + dir.file("textures/Stone.jpg") + "\n"),
            std::string::npos)
      << list.out;
  EXPECT_FALSE(std::filesystem::exists(dir.file("house.bmf")));

  const ToolRun json =
      Tool(dir, "--list --json " + dir.file("house.3ds") + " " + dir.file("no.3ds"));
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(
      json.out.rfind("{\"path\":\"" + dir.file("house.3ds") +
                         "\",\"ok\":true,\"error\":null,\"textures\":[{\"name\":\"ROOFTILE.JPG\"",
                     0),
      0u)
      << json.out;
  EXPECT_NE(
      json.out.find("{\"path\":\"" + dir.file("no.3ds") + "\",\"ok\":false,\"error\":\"can't open"),
      std::string::npos)
      << json.out;
  EXPECT_EQ(Tool(dir, "--list --require-textures " + dir.file("house.3ds")).status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("house.bmf")));

  // Failures for --require-textures name no pick.
  const ToolRun required = Tool(dir, "--require-textures " + dir.file("house.3ds"));
  EXPECT_NE(required.err.find("is ambiguous: " + dir.file("maps/stone.jpg") + ", " +
                              dir.file("textures/Stone.jpg") + "\n"),
            std::string::npos)
      << required.err;
  EXPECT_EQ(required.err.find("(using"), std::string::npos);
}

}  // namespace

namespace {

// A box whose one material names `texture`.
std::vector<std::uint8_t> TexturedBox(const std::string& texture) {
  t3ds::Mesh box = t3ds::Box("Box", {0, 0, 0}, {1, 1, 1});
  t3ds::AssignAll(box, "Paint");
  return t3ds::BuildFile({{"Paint", {}, {}, {}, {}, false, texture}}, {box});
}

// A copy never writes through a symbolic link at its destination, whether
// the link leads to a file outside the output folder or to none yet.
TEST_F(CliTextures, CopyTexturesNeverWriteThroughALink) {
  std::filesystem::create_directory(dir.file("out"));
  Texture("outside/victim.jpg", "keep me");
  std::filesystem::create_symlink("../outside/victim.jpg", dir.file("out/ROOFTILE.JPG"));
  std::filesystem::create_symlink("../outside/new.jpg", dir.file("out/STONE.JPG"));
  const ToolRun run =
      Tool(dir, "--copy-textures -d " + dir.file("out") + " " + dir.file("house.3ds"));
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* name : {"ROOFTILE.JPG", "STONE.JPG"})
    EXPECT_NE(run.err.find(dir.file(std::string("out/") + name) +
                           " is a symbolic link: not written through\n"),
              std::string::npos)
        << run.err;
  EXPECT_EQ(Text("outside/victim.jpg"), "keep me");
  EXPECT_FALSE(std::filesystem::exists(dir.file("outside/new.jpg")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("out/ROOFTILE.JPG")));
  EXPECT_EQ(Text("out/WOOD.JPG"), "wood");
  EXPECT_TRUE(NoTemporaryFiles(dir.file("out")));
}

// A stored name that holds a newline or a backspace names no copy: the
// texture is found and used, but not copied, with a warning.
TEST_F(CliTextures, CopyTexturesNameNoFileWithControlCharacters) {
  std::filesystem::create_directory(dir.file("out"));
  const std::string forged = "A\nforged\b.png";
  WriteFile(dir.file("forged.3ds"), TexturedBox(forged));
  Texture(forged, "found");
  const ToolRun run = Tool(dir, "--copy-textures -d " + dir.file("out") + " " +
                                    testing_support::ShellQuoted(dir.file("forged.3ds")));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("texture \"A\\x0Aforged\\x08.png\": its name holds control "
                         "characters, which no copy is named with: not copied"),
            std::string::npos)
      << run.err;
  // The BMF alone is there.
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.file("out"))) {
    EXPECT_EQ(entry.path().filename(), "forged.bmf");
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

// A texture past 2 GiB is copied whole (a sparse file, so that the test
// writes next to nothing).
TEST_F(CliTextures, CopyTexturesCopyEveryByteWhateverTheSize) {
  const std::string big = dir.file("house_maps/roofTile.jpg");
  const std::uintmax_t size = (std::uintmax_t{1} << 31) + 5;
  std::filesystem::resize_file(big, size - 3);
  {
    std::fstream end(big, std::ios::in | std::ios::out | std::ios::binary | std::ios::ate);
    end.write("end", 3);
  }
  ASSERT_EQ(std::filesystem::file_size(big), size);
  std::filesystem::create_directory(dir.file("out"));
  const ToolRun run =
      Tool(dir, "--json --copy-textures -d " + dir.file("out") + " " + dir.file("house.3ds"));
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string copy = dir.file("out/ROOFTILE.JPG");
  ASSERT_EQ(std::filesystem::file_size(copy), size);
  std::ifstream in(copy, std::ios::binary);
  char start[4] = {}, end[3] = {};
  in.read(start, 4);
  in.seekg(static_cast<std::streamoff>(size - 3));
  in.read(end, 3);
  EXPECT_EQ(std::string(start, 4), "roof");
  EXPECT_EQ(std::string(end, 3), "end");
  EXPECT_NE(run.out.find("\"name\":\"ROOFTILE.JPG\",\"path\":\"" + big +
                         "\",\"rule\":\"subfolder\",\"candidates\":[],\"copied\":true}"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(NoTemporaryFiles(dir.file("out")));
}

// No copy replaces a file that the same run writes: a texture named like
// another model's preview is not copied, whatever the order.
TEST_F(CliTextures, CopyTexturesGiveWayToTheRunsOwnOutputs) {
  std::filesystem::create_directories(dir.file("out"));
  WriteFile(dir.file("a.3ds"), TexturedBox("b.png"));
  WriteFile(dir.file("b.3ds"), TexturedBox("a.png"));
  Texture("b.png", "not a preview");
  Texture("a.png", "not a preview either");
  for (const char* order : {"a.3ds b.3ds", "b.3ds a.3ds"}) {
    const ToolRun run =
        testing_support::RunCommand("cd " + dir.path().string() + " && " + TORVIK_3DS2BMF +
                                        " -j 2 --preview --copy-textures -d out " + order,
                                    dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("3ds2bmf: a.3ds: texture \"b.png\": out/b.png is an output of this "
                           "run: not copied\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("texture \"a.png\": out/a.png is an output of this run"),
              std::string::npos)
        << run.err;
    for (const char* preview : {"out/a.png", "out/b.png"})
      EXPECT_EQ(Text(preview).substr(1, 3), "PNG") << preview;
  }
}

// Two models that copy textures of one name into one folder: the earlier
// input's copy stays, however the files are scheduled, and the later one is
// told so.
TEST_F(CliTextures, CopyTexturesOfOneNameAreDecidedByInputOrder) {
  std::filesystem::create_directories(dir.file("out"));
  for (const char* model : {"one", "two"}) {
    Texture(std::string(model) + "/paint.jpg", std::string(model) + "'s paint");
    WriteFile(dir.file(std::string(model) + "/" + model + ".3ds"), TexturedBox("PAINT.JPG"));
  }
  for (const auto& [first, second] : {std::pair{"one", "two"}, std::pair{"two", "one"}}) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      std::filesystem::remove_all(dir.file("out"));
      std::filesystem::create_directories(dir.file("out"));
      const std::string a = std::string(first) + "/" + first + ".3ds",
                        b = std::string(second) + "/" + second + ".3ds";
      const ToolRun both = Tool(dir, "-j 2 --copy-textures -d " + dir.file("out") + " " +
                                         dir.file(a) + " " + dir.file(b));
      EXPECT_EQ(Text("out/PAINT.JPG"), std::string(first) + "'s paint");
      EXPECT_NE(both.err.find("3ds2bmf: " + dir.file(b) +
                              ": texture \"PAINT.JPG\": " + dir.file("out/PAINT.JPG") +
                              " is already the copy of another texture for " + dir.file(a) +
                              ": not overwritten\n"),
                std::string::npos)
          << both.err;
    }
  }
}

}  // namespace

namespace {

// The materials' maps: --list names each with how it lies and the file its
// kind picks, --json reports them, --copy-textures copies every map's file
// (one whose stored name is texture 1's, of another file, under its own
// name).
TEST(CliMaps, ListJsonAndCopiesCoverEveryMap) {
  TempDir dir;
  ASSERT_TRUE(t3ds::SaveMaterialsDemo(dir.path().string()));
  const std::string model = dir.file("materials.3ds");
  const ToolRun list = Tool(dir, "--list " + model);
  EXPECT_EQ(list.status, 0) << list.err;
  for (const std::string& line :
       {std::string("\n  maps: 8, 7 of 7 files found\n"),
        "\n    material \"Floor\": texture \"FLOOR.PNG\" tiled 10 x 10: " + dir.file("FLOOR.PNG") +
            " (path)\n",
        "\n    material \"Bricks\": bump map \"BRICKWAL.PNG\" 30 %, tiled 3 x 4.5: " +
            dir.file("maps/brickwall_bump.png") + " (8.3, 2 candidates)\n",
        "\n    material \"Roof\": texture \"ROOF.PNG\" tiled 3.5 x 3.5, offset 0.25 0.5, turned 30 "
        "degrees, mirrored: " +
            dir.file("maps/roof.png") + " (subfolder)\n",
        "\n    material \"Facade\": opacity map \"FACADE_G.PNG\": " +
            dir.file("facade_grillage_alpha.png") + " (8.3, 2 candidates)\n",
        "\n    material \"Metal\": specular map \"METAL_S.PNG\": " + dir.file("METAL_S.PNG") +
            " (path)\n"})
    EXPECT_NE(list.out.find(line), std::string::npos) << line << list.out;
  // A material without maps (the lamp's glow) has no line.
  EXPECT_EQ(list.out.find("\"Lamp\""), std::string::npos);

  const ToolRun json = Tool(dir, "--list --json " + model);
  EXPECT_NE(
      json.out.find("{\"material\":\"Bricks\",\"kind\":\"bump\",\"name\":\"BRICKWAL.PNG\","
                    "\"path\":\"" +
                    dir.file("maps/brickwall_bump.png") + "\",\"rule\":\"8.3\",\"candidates\":["),
      std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"amount\":0.3,\"tiling\":0,\"scale\":[3,4.5],\"offset\":[0,0],"
                          "\"rotation\":0}"),
            std::string::npos)
      << json.out;

  std::filesystem::create_directory(dir.file("out"));
  const ToolRun copies = Tool(dir, "-v --copy-textures -d " + dir.file("out") + " " + model);
  EXPECT_EQ(copies.status, 0) << copies.err;
  EXPECT_NE(copies.out.find(", textures 4/4 found, 4 copied, maps 3/3 found, 3 copied, "),
            std::string::npos)
      << copies.out;
  EXPECT_EQ(copies.err.find("not overwritten"), std::string::npos) << copies.err;
  EXPECT_EQ(ReadFile(dir.file("out/BRICKWAL.PNG")), ReadFile(dir.file("maps/brickwall.png")));
  EXPECT_EQ(ReadFile(dir.file("out/brickwall_bump.png")),
            ReadFile(dir.file("maps/brickwall_bump.png")));
  EXPECT_EQ(ReadFile(dir.file("out/facade_grillage_alpha.png")),
            ReadFile(dir.file("facade_grillage_alpha.png")));
  EXPECT_EQ(ReadFile(dir.file("out/METAL_S.PNG")), ReadFile(dir.file("METAL_S.PNG")));
  const ToolRun reported = Tool(dir, "--json --copy-textures -d " + dir.file("out") + " " + model);
  EXPECT_NE(reported.out.find("\"kind\":\"specular\",\"name\":\"METAL_S.PNG\""), std::string::npos);
  EXPECT_NE(reported.out.find("\"rotation\":0,\"copied\":true}"), std::string::npos)
      << reported.out;

  // The front ends without a command line (the web page, Python) get them
  // too, with every conversion.
  const torvik::ConversionSettings settings;
  const torvik::ConversionReport report = torvik::ConvertModel(ReadFile(model), model, settings);
  ASSERT_EQ(report.maps.size(), 8u);
  EXPECT_EQ(report.maps[2].file.kind, torvik::MapKind::bump);
  EXPECT_EQ(*report.maps[2].file.path, dir.file("maps/brickwall_bump.png"));
  EXPECT_NE(
      std::find(report.warnings.begin(), report.warnings.end(),
                model + ": bump map \"BRICKWAL.PNG\" is ambiguous: " +
                    dir.file("maps/brickwall_bump.png") + ", " + dir.file("maps/brickwall.png") +
                    " (using " + dir.file("maps/brickwall_bump.png") + ")"),
      report.warnings.end());
}

}  // namespace
