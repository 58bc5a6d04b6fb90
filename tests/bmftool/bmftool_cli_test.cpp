// bmftool as a user runs it: messages, exit status and the files it writes.
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "model_info.h"
#include "shapes.h"
#include "test_support.h"
#include "torvik32c/reports.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using testing_support::ToolRun;

using testing_support::FirstTerminalControl;
using testing_support::kNotUtf8;
using testing_support::kTerminalEscapes;
using testing_support::ShellQuoted;

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

  static t3ds::Material Textured(const std::string& name, const std::string& texture) {
    t3ds::Material material;
    material.name = name;
    material.texture = texture;
    return material;
  }

  ToolRun Converter(const std::string& args) const {
    return testing_support::RunCommand(std::string(TORVIK_3DS2BMF) + " " + args, dir);
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
  // The signal comes once bmftool has opened the FIFO (opening it for
  // writing waits for that), however slowly it starts.
  run = testing_support::RunCommand(
      std::string("timeout -k 5 30 sh -c '\"$0\" info \"$1\" & p=$!; exec 3>\"$1\"; kill -INT $p; "
                  "wait $p' ") +
          TORVIK_BMFTOOL + " " + fifo,
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

// Names and paths that would take over a terminal reach every text output
// of 3ds2bmf and bmftool escaped (warnings, -v, --list, info, validate, png,
// gltf, usage errors), while --json keeps the names themselves.
TEST_F(BmftoolCli, HostileNamesAndPathsReachEveryTextOutputEscaped) {
  const std::string folder = dir.file("maps\x1B[2J\x9B\xC2\x9B");
  const std::string shown_folder = dir.file("maps\\x1B[2J\\x9B\\u009B");
  const std::string shown_escapes = "\\x1B]0;PWNED\\x07\\x1B[2J\\u009B31m\\x0Aforged: line";
  // Windows-1252 reads the byte 0x9B as U+203A and 0xFF as U+00FF.
  const std::string shown_not_utf8 = "\\x1B[1m\xE2\x80\xBA" "7m\xC3\xBF";
  std::filesystem::create_directory(folder);
  const std::string model = folder + "/m\x07.3ds", bmf = folder + "/m\x07.bmf";
  t3ds::Mesh box = t3ds::TexturedBox("Box", {0, 0, 0}, {1, 1, 1});
  t3ds::AssignAll(box, kNotUtf8);
  t3ds::Mesh other = t3ds::TexturedBox("Other", {2, 0, 0}, {3, 1, 1});
  t3ds::AssignAll(other, "Plain");
  WriteFile(model, t3ds::BuildFile({Textured(kNotUtf8, "wood.png"),
                                    Textured("Plain", kTerminalEscapes + ".jpg")},
                                   {box, other}, {{.id = 0, .name = kTerminalEscapes, .parent = 7}}));
  WriteFile(folder + "/wood.png", {'n', 'o', ' ', 'i', 'm', 'a', 'g', 'e'});  // found, unreadable

  const ToolRun converted = Converter("-v --preview --gltf " + ShellQuoted(model));
  ASSERT_EQ(converted.status, 0) << converted.err;
  const ToolRun listed = Converter("--list " + ShellQuoted(model));
  const ToolRun info = Tool("info " + ShellQuoted(bmf));
  const ToolRun runs[] = {
      converted,
      listed,
      Converter("--keyframer -o " + ShellQuoted(dir.file("k.bmf")) + " " + ShellQuoted(model)),
      Converter(ShellQuoted(folder + "/gone\x1B[2J.3ds")),
      info,
      Tool("validate " + ShellQuoted(bmf)),
      Tool("png -o " + ShellQuoted(dir.file("p.png")) + " " + ShellQuoted(bmf)),
      Tool("gltf -o " + ShellQuoted(dir.file("g.glb")) + " " + ShellQuoted(bmf)),
      Tool("info --texture " + ShellQuoted("x\x1B[2J=" + folder) + " " + ShellQuoted(bmf)),
  };
  for (const ToolRun& run : runs) {
    EXPECT_EQ(FirstTerminalControl(run.out), std::string::npos) << run.out;
    EXPECT_EQ(FirstTerminalControl(run.err), std::string::npos) << run.err;
    EXPECT_NE((run.out + run.err).find(shown_folder), std::string::npos) << run.out << run.err;
  }
  // The missing texture, the keyframer's and the glTF's warnings, the summary.
  for (const std::string& line :
       {"texture \"" + shown_escapes + ".jpg\" not found",
        "warning: the keyframer is ignored: node 0 ('" + shown_escapes + "')",
        "warning: texture 'wood.png' of material '" + shown_not_utf8 + "': " + shown_folder})
    EXPECT_NE(converted.err.find(line), std::string::npos) << line << "\n" << converted.err;
  EXPECT_EQ(converted.out.rfind(shown_folder + "/m\\x07.3ds: ", 0), 0u) << converted.out;
  EXPECT_NE(listed.out.find("\"wood.png\": " + shown_folder + "/wood.png (path)"),
            std::string::npos)
      << listed.out;
  EXPECT_NE(info.out.find("texture \"" + shown_escapes + ".jpg\""), std::string::npos) << info.out;

  // JSON keeps the names as they are, in strings that parse.
  const ToolRun json = Converter("--json -o " + ShellQuoted(dir.file("j.bmf")) + " " +
                                 ShellQuoted(model));
  const nlohmann::json line = nlohmann::json::parse(json.out);
  EXPECT_EQ(line["textures"][1]["name"], kTerminalEscapes + ".jpg");
  const ToolRun info_json = Tool("info --json " + ShellQuoted(bmf));
  const nlohmann::json blocks = nlohmann::json::parse(info_json.out);
  EXPECT_EQ(blocks["blocks"][1]["texture"], kTerminalEscapes + ".jpg");
  // ... escaped, C1 controls (U+009B) as \u009b too: a JSON line printed on a
  // terminal can't drive it either.
  const ToolRun listed_json = Converter("--list --json " + ShellQuoted(model));
  for (const ToolRun* run : {&json, &info_json, &listed_json}) {
    EXPECT_EQ(FirstTerminalControl(run->out), std::string::npos) << run->out;
    EXPECT_NE(run->out.find("\\u009b31m"), std::string::npos) << run->out;
  }
}

// Names that are not UTF-8 read as Windows-1252, or in the encoding that
// --name-encoding names, wherever they are written as text: JSON, glTF
// node, mesh and material names, MTL and warnings.  The BMF keeps their
// bytes.
TEST_F(BmftoolCli, NamesReadAsWindows1252OrTheChosenEncoding) {
  // D\xE9cor and Tr\xE8s in Windows-1252, Caf\xC3\xA9 in UTF-8, and a name in
  // Shift_JIS (katakana "tesuto").
  const std::string decor = "D\xE9" "cor", tres = "Tr\xE8s", cafe = "Caf\xC3\xA9";
  const std::string katakana = "\x83\x65\x83\x58\x83\x67";
  t3ds::Mesh decorated = t3ds::TexturedBox(decor, {0, 0, 0}, {1, 1, 1});
  t3ds::AssignAll(decorated, decor);
  const std::vector<std::uint8_t> model = t3ds::BuildFile(
      {Textured(decor, "\x80uro.png")},
      {decorated, t3ds::Box(cafe, {2, 0, 0}, {3, 1, 1}), t3ds::Box(katakana, {4, 0, 0}, {5, 1, 1})},
      {{.id = 0, .name = decor, .instance = tres}, {.id = 1, .name = cafe}, {.id = 2, .name = katakana}});
  WriteFile(dir.file("names.3ds"), model);
  const auto names = [](const nlohmann::json& items) {
    std::vector<std::string> found;
    for (const nlohmann::json& item : items) found.push_back(item.value("name", ""));
    return found;
  };
  struct Case {
    std::string option;
    std::vector<std::string> nodes, meshes;
    std::string texture;  // as JSON, MTL and warnings give it
  };
  const std::string replaced = "\xEF\xBF\xBD";  // U+FFFD
  std::vector<Case> cases = {
      {"",
       {"Tr\xC3\xA8s", cafe, "\xC6\x92" "e\xC6\x92X\xC6\x92g"},
       {"D\xC3\xA9" "cor", cafe, "\xC6\x92" "e\xC6\x92X\xC6\x92g"},
       "\xE2\x82\xAC" "uro.png"},
      {"--name-encoding utf-8",
       {"Tr" + replaced + "s", cafe, replaced + "e" + replaced + "X" + replaced + "g"},
       {"D" + replaced + "cor", cafe, replaced + "e" + replaced + "X" + replaced + "g"},
       replaced + "uro.png"}};
  if (torvik::NameEncodingsByIconv())
    cases.push_back({"--name-encoding Shift_JIS",
                     {"Tr\xE9\x91\x9A", cafe, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"},
                     {"D\xE9\xA6\x97or", cafe, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"},
                     ""});
  for (const Case& c : cases) {
    const std::string bmf = dir.file("names.bmf");
    const ToolRun run = Converter(c.option + " --gltf --json -o " + bmf + " " + dir.file("names.3ds"));
    ASSERT_EQ(run.status, 0) << c.option << run.err;
    EXPECT_EQ(ReadFile(bmf), testing_support::Convert(model)) << c.option;
    const nlohmann::json gltf =
        nlohmann::json::parse(testing_support::GlbJsonText(ReadFile(dir.file("names.glb"))));
    EXPECT_EQ(names(gltf["nodes"]), c.nodes) << c.option;
    EXPECT_EQ(names(gltf["meshes"]), c.meshes) << c.option;
    EXPECT_EQ(gltf["materials"][0]["name"], c.meshes[0]) << c.option;
    if (c.texture.empty()) continue;
    EXPECT_EQ(nlohmann::json::parse(run.out)["textures"][0]["name"], c.texture) << c.option;
    EXPECT_NE(run.err.find("texture \"" + c.texture + "\" not found"), std::string::npos) << run.err;
    const nlohmann::json info = nlohmann::json::parse(Tool("info --json " + c.option + " " + bmf).out);
    EXPECT_EQ(info["blocks"][1]["texture"], c.texture) << c.option;  // after the default
    ASSERT_EQ(Tool("obj " + c.option + " " + bmf).status, 0) << c.option;
    const std::vector<std::uint8_t> mtl = ReadFile(dir.file("names.mtl"));
    EXPECT_NE(std::string(mtl.begin(), mtl.end()).find("map_Kd " + c.texture + "\n"),
              std::string::npos)
        << c.option;
  }

  const ToolRun unknown = Converter("--name-encoding klingon " + dir.file("names.3ds"));
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err.rfind("3ds2bmf: --name-encoding klingon: ", 0), 0u) << unknown.err;
  EXPECT_EQ(Tool("validate --name-encoding utf-8 " + dir.file("names.bmf")).status, 2);
}

}  // namespace
