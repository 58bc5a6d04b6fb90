// bmftool as a user runs it: messages, exit status and the files it writes.
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "model_info.h"
#include "shapes.h"
#include "test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using testing_support::ToolRun;

class BmftoolCli : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir.file("box.bmf"), testing_support::Convert(t3ds::BuildFile(
                                       {}, {t3ds::Box("Box", {0, 0, 0}, {1, 2, 3})})));
    std::vector<std::uint8_t> broken = ReadFile(dir.file("box.bmf"));
    broken[2] = 1;        // strip flag
    broken.push_back(7);  // a byte after the last block
    WriteFile(dir.file("broken.bmf"), broken);
  }

  ToolRun Tool(const std::string& args) const {
    return testing_support::RunCommand(std::string(TORVIK_BMFTOOL) + " " + args, dir);
  }

  TempDir dir;
};

TEST_F(BmftoolCli, ValidateReportsEachViolationAndExitsOne) {
  const ToolRun good = Tool("validate " + dir.file("box.bmf"));
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(good.out, dir.file("box.bmf") + ": valid, 1 block\n");

  const ToolRun bad = Tool("validate " + dir.file("box.bmf") + " " + dir.file("broken.bmf"));
  EXPECT_EQ(bad.status, 1);
  const std::string prefix = "bmftool: " + dir.file("broken.bmf") + ": byte ";
  EXPECT_EQ(bad.err, prefix + "2: the strip flag is 1, not 0\n" + prefix +
                         std::to_string(ReadFile(dir.file("broken.bmf")).size() - 1) +
                         ": 1 byte follows the last block\n");

  const ToolRun missing = Tool("validate " + dir.file("missing.bmf"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.rfind("bmftool: " + dir.file("missing.bmf") + ": can't open", 0), 0u)
      << missing.err;
}

// --json: one object per file with every violation, for scripts.
TEST_F(BmftoolCli, ValidateAsJson) {
  const ToolRun run = Tool("validate --json " + dir.file("box.bmf") + " " + dir.file("broken.bmf") +
                           " " + dir.file("missing.bmf"));
  EXPECT_EQ(run.status, 1);
  const std::string trailing = std::to_string(ReadFile(dir.file("broken.bmf")).size() - 1);
  EXPECT_EQ(run.out.substr(0, run.out.find("{\"path\":\"" + dir.file("missing.bmf"))),
            "{\"path\":\"" + dir.file("box.bmf") +
                "\",\"valid\":true,\"error\":null,\"blocks\":1,\"violations\":[]}\n"
                "{\"path\":\"" +
                dir.file("broken.bmf") +
                "\",\"valid\":false,\"error\":null,\"blocks\":1,\"violations\":["
                "{\"rule\":\"strip_flag\",\"offset\":2,\"block\":null,"
                "\"message\":\"the strip flag is 1, not 0\"},"
                "{\"rule\":\"trailing_bytes\",\"offset\":" +
                trailing + ",\"block\":null,\"message\":\"1 byte follows the last block\"}]}\n");
  EXPECT_NE(run.out.find("{\"path\":\"" + dir.file("missing.bmf") +
                         "\",\"valid\":false,\"error\":\"can't open"),
            std::string::npos)
      << run.out;
}

// info fails (exit 1) for a file that is invalid or unreadable, and --json
// still gives that file a record.
TEST_F(BmftoolCli, InfoOfInvalidOrForeignFilesExitsOne) {
  const ToolRun invalid = Tool("info " + dir.file("broken.bmf"));
  EXPECT_EQ(invalid.status, 1);
  EXPECT_NE(invalid.out.find("not a valid BMF file: 2 violations"), std::string::npos);
  WriteFile(dir.file("model.3ds"), t3ds::BuildFile({}, {t3ds::Box("Box", {0, 0, 0}, {1, 2, 3})}));
  const ToolRun foreign = Tool("--json info " + dir.file("model.3ds") + " " + dir.file("box.bmf"));
  EXPECT_EQ(foreign.status, 1);
  EXPECT_NE(foreign.err.find("looks like a 3DS file, which 3ds2bmf converts"), std::string::npos)
      << foreign.err;
  EXPECT_EQ(foreign.out.rfind(
                "{\"path\":\"" + dir.file("model.3ds") + "\",\"valid\":false,\"error\":", 0),
            0u)
      << foreign.out;
  EXPECT_NE(foreign.out.find("\n{\"path\":\"" + dir.file("box.bmf") + "\""), std::string::npos);
}

TEST_F(BmftoolCli, InfoAsTextAndJson) {
  const ToolRun text = Tool("info " + dir.file("box.bmf"));
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find(": 1 block, 8 vertices, 24 triangles, "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("bounds   x 0 .. 1, y 0 .. 3, z 0 .. 2"), std::string::npos);
  EXPECT_NE(text.out.find("normals  all unit length"), std::string::npos);

  const ToolRun json = Tool("info --json " + dir.file("box.bmf") + " " + dir.file("broken.bmf"));
  EXPECT_EQ(json.status, 1) << json.err;  // broken.bmf is invalid
  EXPECT_NE(json.out.find("\"block_count\":1,\"vertices\":8,\"triangles\":24"), std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"valid\":true"), std::string::npos);
  EXPECT_NE(json.out.find("\"valid\":false"), std::string::npos);
  EXPECT_NE(json.out.find("\"diffuse\":[1,1,1,1]"), std::string::npos);
}

// ACMR and ATVR for a 16-entry FIFO cache, per block and summed over the
// file, and with --overdraw the overdraw; none where they can't be measured.
TEST_F(BmftoolCli, InfoMeasuresTheVertexCacheAndOverdraw) {
  // The box's 8 vertices all fit the cache: each is transformed once.
  const ToolRun text = Tool("info " + dir.file("box.bmf"));
  EXPECT_NE(text.out.find("\n  GPU      ACMR 0.333, ATVR 1.000\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("normals  all unit length\n    GPU      ACMR 0.333, ATVR 1.000\n"),
            std::string::npos);
  const ToolRun json = Tool("info --json --overdraw " + dir.file("box.bmf"));
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"valid\":true,\"acmr\":0.33333334,\"atvr\":1,\"overdraw\":"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"non_unit_normals\":0,\"acmr\":0.33333334,\"atvr\":1,\"overdraw\":"),
            std::string::npos);
  EXPECT_EQ(Tool("validate --overdraw " + dir.file("box.bmf")).status, 2);

  torvik::BmfBlock triangle;
  triangle.name_field = std::string(1, '\0');
  triangle.vertices = {
      {0, 0, 0, 0, 1, 0, 0, 0}, {0, 0, 0, 0, 1, 1, 0, 0}, {0, 0, 0, 0, 1, 0, 1, 0}};
  triangle.triangles = {{0, 1, 2}};
  torvik::BmfBlock twice = triangle;  // the same triangle drawn twice
  twice.triangles.push_back({1, 2, 0});
  torvik::BmfBlock empty = triangle;
  empty.vertices.clear();
  empty.triangles.clear();
  torvik::BmfFile file;
  file.blocks = {triangle, twice, empty};
  const std::string measured = InfoText("m.bmf", file, {}, true);
  EXPECT_NE(measured.find("\n  GPU      ACMR 2.000, ATVR 1.000, overdraw "), std::string::npos)
      << measured;
  EXPECT_NE(measured.find("GPU      ACMR 3.000, ATVR 1.000, overdraw 1.000\n"), std::string::npos);
  EXPECT_NE(measured.find("GPU      ACMR 1.500, ATVR 1.000, overdraw 2.000\n"), std::string::npos);
  EXPECT_EQ(measured.find("GPU", measured.find("block 2")), std::string::npos);
  file.blocks[1].triangles.push_back({0, 1, 3});  // past the vertex table
  const std::string unmeasured = InfoText("m.bmf", file, {}, true);
  EXPECT_NE(unmeasured.find("\n  GPU      ACMR and ATVR not measured, no overdraw\n"),
            std::string::npos)
      << unmeasured;
  EXPECT_NE(InfoJson("m.bmf", file, {}, true).find("\"acmr\":null,\"atvr\":null,\"overdraw\":null"),
            std::string::npos);
}

TEST_F(BmftoolCli, ObjAndPngWriteTheirFiles) {
  const ToolRun obj = Tool("obj " + dir.file("box.bmf") + " -o " + dir.file("out.obj"));
  EXPECT_EQ(obj.status, 0) << obj.err;
  const std::vector<std::uint8_t> text = ReadFile(dir.file("out.obj"));
  EXPECT_NE(std::string(text.begin(), text.end()).find("mtllib out.mtl\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.file("out.mtl")));

  const ToolRun png = Tool("png --size 48 --yaw -20 --pitch 45 " + dir.file("box.bmf"));
  EXPECT_EQ(png.status, 0) << png.err;
  const std::vector<std::uint8_t> image = ReadFile(dir.file("box.png"));
  ASSERT_GT(image.size(), 24u);
  EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + 1, image.begin() + 4),
            (std::vector<std::uint8_t>{'P', 'N', 'G'}));
  EXPECT_EQ(image[19], 48);  // IHDR width, big-endian
  EXPECT_EQ(image[23], 48);  // height

  const ToolRun unwritable = Tool("png " + dir.file("box.bmf") + " -o " + dir.file("no/such.png"));
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(
      unwritable.err.rfind("bmftool: " + dir.file("no/such.png") + ": can't open for writing", 0),
      0u)
      << unwritable.err;
}

// glTF as .glb by default or .gltf with its .bin; a texture that is not
// found is a warning, not a failure.  OBJ turns to the authored axes unless
// --keep-axes, which belongs to obj alone.
TEST_F(BmftoolCli, GltfFilesAndObjAxes) {
  t3ds::Mesh crate = t3ds::Box("Crate", {0, 0, 0}, {1, 2, 3});
  t3ds::AssignAll(crate, "Wood");
  WriteFile(
      dir.file("crate.bmf"),
      testing_support::Convert(t3ds::BuildFile(
          {{"Wood", {}, t3ds::Color{0.5f, 0.4f, 0.3f}, {}, {}, false, "WOOD.TGA"}}, {crate})));
  const ToolRun glb = Tool("gltf " + dir.file("crate.bmf") + " " + dir.file("box.bmf"));
  EXPECT_EQ(glb.status, 0) << glb.err;
  EXPECT_EQ(glb.err, "bmftool: " + dir.file("crate.glb") +
                         ": warning: texture 'WOOD.TGA' of block 0 was not found; the block is "
                         "left untextured\n");
  for (const char* name : {"crate.glb", "box.glb"}) {
    const std::vector<std::uint8_t> bytes = ReadFile(dir.file(name));
    ASSERT_GT(bytes.size(), 12u) << name;
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "glTF") << name;
    EXPECT_EQ(bytes[8] | bytes[9] << 8 | bytes[10] << 16 | bytes[11] << 24,
              static_cast<int>(bytes.size()));
  }
  // Found in a --texture-path folder, it is embedded without a word.
  std::filesystem::create_directory(dir.path() / "library");
  const std::uint8_t pixel[3] = {200, 150, 100};
  ASSERT_NE(stbi_write_tga(dir.file("library/wood.tga").c_str(), 1, 1, 3, pixel), 0);
  const ToolRun found =
      Tool("gltf --texture-path " + dir.file("library") + " " + dir.file("crate.bmf"));
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.err, "");
  const std::vector<std::uint8_t> textured = ReadFile(dir.file("crate.glb"));
  EXPECT_NE(std::string(textured.begin(), textured.end()).find("\"image/png\""), std::string::npos);

  const ToolRun gltf = Tool("gltf -o " + dir.file("out.GLTF") + " " + dir.file("box.bmf"));
  EXPECT_EQ(gltf.status, 0) << gltf.err;
  const std::vector<std::uint8_t> json = ReadFile(dir.file("out.GLTF"));
  EXPECT_NE(std::string(json.begin(), json.end()).find("\"uri\": \"out.bin\""), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.file("out.bin")));

  // The corner (1, 2, 3) of the 3DS file is (1, 3, -2) as authored, (1, 3, 2) in BMF.
  ASSERT_EQ(Tool("obj " + dir.file("box.bmf")).status, 0);
  const std::vector<std::uint8_t> authored = ReadFile(dir.file("box.obj"));
  EXPECT_NE(std::string(authored.begin(), authored.end()).find("\nv 1 3 -2\n"), std::string::npos);
  ASSERT_EQ(Tool("obj --keep-axes " + dir.file("box.bmf")).status, 0);
  const std::vector<std::uint8_t> kept = ReadFile(dir.file("box.obj"));
  EXPECT_NE(std::string(kept.begin(), kept.end()).find("\nv 1 3 2\n"), std::string::npos);

  const ToolRun misplaced = Tool("gltf --keep-axes " + dir.file("box.bmf"));
  EXPECT_EQ(misplaced.status, 2);
  EXPECT_EQ(misplaced.err.rfind("bmftool: --keep-axes is an option of 'obj' only", 0), 0u)
      << misplaced.err;
  EXPECT_EQ(Tool("gltf -o " + dir.file("box.bmf") + " " + dir.file("box.bmf")).status, 2);
}

// Standard input and a FIFO are read once, to their end; a FIFO nobody
// writes to is left on Ctrl-C.  Every command runs under a time limit.
TEST_F(BmftoolCli, StandardInputAndFifosAreReadToTheirEnd) {
  const std::string tool = std::string("timeout -k 5 30 ") + TORVIK_BMFTOOL;
  ToolRun run = testing_support::RunCommand("cat " + dir.file("box.bmf") + " | " + tool +
                                                " png --size 16 -o " + dir.file("in.png") + " -",
                                            dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("in.png")));
  run = testing_support::RunCommand(tool + " validate - < " + dir.file("box.bmf"), dir);
  EXPECT_EQ(run.out, "-: valid, 1 block\n") << run.err;
  EXPECT_EQ(Tool("obj - < " + dir.file("box.bmf")).status, 2);
  // A stream is read to its last block, the bytes after it counted; one
  // whose strip flag is not 0 is refused after its header, while its writer
  // still holds it open.
  run = testing_support::RunCommand(
      "{ cat " + dir.file("box.bmf") + "; printf abc; } | " + tool + " validate -", dir);
  EXPECT_NE(run.err.find("3 bytes follow the last block"), std::string::npos) << run.err;
  run = testing_support::RunCommand(
      "{ printf 'BMF?'; sleep 20 & } | timeout -k 5 10 " + std::string(TORVIK_BMFTOOL) + " info -",
      dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "bmftool: -: not a BMF file: its strip flag is 16198, not 0 (a stream is "
            "read no further)\n");

  const std::string fifo = dir.file("fifo.bmf");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  run = testing_support::RunCommand("(timeout 30 sh -c 'cat " + dir.file("box.bmf") + " > " + fifo +
                                        "' &) ; " + tool + " validate " + fifo,
                                    dir);
  EXPECT_EQ(run.out, fifo + ": valid, 1 block\n") << run.err;
  run = testing_support::RunCommand(
      std::string("timeout -k 5 --preserve-status -s INT 0.5 ") + TORVIK_BMFTOOL + " info " + fifo,
      dir);
  EXPECT_EQ(run.status, 128 + SIGINT) << run.err;
  EXPECT_EQ(run.err, "bmftool: " + fifo + ": interrupted\n");
}

TEST_F(BmftoolCli, UsageErrorsExitTwo) {
  for (const char* args : {"", "frobnicate x.bmf", "info", "info --size 9 x.bmf",
                           "png --size 10 x.bmf", "png --yaw left x.bmf", "obj -o a b c"}) {
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.err.rfind("bmftool: ", 0), 0u) << args;
  }
  const ToolRun help = Tool("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: bmftool COMMAND"), std::string::npos);
  // A BMF has lost the objects: the help says where to get them.
  EXPECT_NE(help.out.find("'3ds2bmf --gltf' on the 3DS file"), std::string::npos) << help.out;
  // This build has every library: its help names nothing as refused.
  EXPECT_EQ(help.out.find("This build refuses"), std::string::npos);
  // Options before the command, long forms; huge angles are taken modulo 360.
  for (const std::string& args :
       {"--output=" + dir.file("a.png") + " png --yaw 1e308 --pitch=-1e308 " + dir.file("box.bmf"),
        "png --size=32 --yaw -1e308 -o " + dir.file("b.png") + " " + dir.file("box.bmf")}) {
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 0) << args << "\n" << run.err;
  }
  // An output that is the input is refused before anything is written.
  const std::vector<std::uint8_t> box = ReadFile(dir.file("box.bmf"));
  EXPECT_EQ(Tool("png -o " + dir.file("box.bmf") + " " + dir.file("box.bmf")).status, 2);
  EXPECT_EQ(Tool("obj -o " + dir.file("box.bmf") + " " + dir.file("box.bmf")).status, 2);
  EXPECT_EQ(ReadFile(dir.file("box.bmf")), box);
}

}  // namespace
