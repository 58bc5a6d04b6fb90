// 3ds2bmf on glTF and OBJ inputs: told by their content, the images stored
// inside a glTF written beside the BMF, the options only a 3DS file takes
// refused, damaged files failing with where.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli_tool.h"
#include "test_support.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/model_conversion.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::ToolRun;
using testing_support::WriteFile;

// glTF and OBJ inputs, told by their content.
class OtherFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    // The textured sample's glTF, its two textures stored inside it.
    std::filesystem::copy(TORVIK_SAMPLES_DIR "/crate.3ds", dir.file("crate.3ds"));
    std::filesystem::copy(TORVIK_SAMPLES_DIR "/crate_maps", dir.file("crate_maps"));
    ASSERT_EQ(
        Tool(dir, "-q --gltf -o " + dir.file("crate.bmf") + " " + dir.file("crate.3ds")).status, 0);
    std::filesystem::remove_all(dir.file("crate_maps"));
    std::filesystem::create_directory(dir.file("out"));
  }
  TempDir dir;
};

TEST_F(OtherFormats, ReadsGltfAndObjByContentWritingTheImagesStoredInside) {
  // Named as anything: the content decides.
  std::filesystem::copy(dir.file("crate.glb"), dir.file("crate.model"));
  ToolRun run = Tool(dir, "--json -o " + dir.file("out/crate.bmf") + " " + dir.file("crate.model"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"format\":\"glTF\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"rule\":\"given\""), std::string::npos) << run.out;
  // The images go beside the BMF under the names the BMF's blocks give them.
  const torvik::BmfFile bmf = torvik::ReadBmfFile(dir.file("out/crate.bmf"));
  ASSERT_EQ(bmf.blocks.size(), 2u);
  EXPECT_EQ(bmf.blocks[0].TextureName(), "C:\\3DSMAX\\MAPS\\CRATE.TGA");
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("out/CRATE.TGA")));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("out/FLOORTIL.TGA")));
  // Again: the same bytes are there already, nothing is said.
  run = Tool(dir, "-o " + dir.file("out/crate.bmf") + " " + dir.file("crate.glb"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  // A different file of that name is never replaced: a warning, the BMF is
  // written all the same.
  WriteFile(dir.file("out/CRATE.TGA"), {1, 2, 3});
  run = Tool(dir, "-o " + dir.file("out/crate.bmf") + " " + dir.file("crate.glb"));
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("already exists with other contents: not overwritten"), std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFile(dir.file("out/CRATE.TGA")), (std::vector<std::uint8_t>{1, 2, 3}));
  // --list names them, and --gltf copies the scene as read.
  run = Tool(dir, "--list " + dir.file("crate.glb"));
  EXPECT_NE(run.out.find("(glTF)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"FLOORTIL.TGA\": written beside the BMF as FLOORTIL.TGA"),
            std::string::npos)
      << run.out;
  run = Tool(dir, "-q --gltf -o " + dir.file("out/copy.bmf") + " " + dir.file("crate.glb"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("out/copy.glb")));
  // An OBJ with its MTL; the output takes the input's stem.
  WriteFile(dir.file("tri.obj"), {});
  std::ofstream(dir.file("tri.obj")) << "mtllib tri.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\n"
                                        "usemtl Red\nf 1 2 3\n";
  std::ofstream(dir.file("tri.mtl")) << "newmtl Red\nKd 1 0 0\n";
  run = Tool(dir, "-v " + dir.file("tri.obj"));
  ASSERT_EQ(run.status, 0) << run.err;
  const torvik::BmfFile tri = torvik::ReadBmfFile(dir.file("tri.bmf"));
  ASSERT_EQ(tri.blocks.size(), 1u);
  EXPECT_EQ(tri.blocks[0].diffuse.red, 1.0f);
  EXPECT_EQ(tri.blocks[0].diffuse.green, 0.0f);
}

TEST_F(OtherFormats, RefusesWhatOnlyA3dsFileHoldsAndFailsNamingWhere) {
  ToolRun run =
      Tool(dir, "--as-authored -o " + dir.file("out/a.bmf") + " " + dir.file("crate.glb"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("crate.glb: --keyframer, --smoothing-groups, --keep-file-winding read "
                         "what only a 3DS file holds; this is a glTF file"),
            std::string::npos)
      << run.err;
  run =
      Tool(dir, "--name-encoding CP1252 -o " + dir.file("out/a.bmf") + " " + dir.file("crate.glb"));
  EXPECT_NE(run.err.find("--name-encoding reads what only a 3DS file holds"), std::string::npos);
  run = Tool(dir, "--file-normals -o " + dir.file("out/a.bmf") + " " + dir.file("crate.3ds"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("a 3DS file stores none"), std::string::npos) << run.err;
  // A damaged glTF or OBJ: the file and where, and nothing written.
  std::vector<std::uint8_t> glb = ReadFile(dir.file("crate.glb"));
  const std::string json = testing_support::GlbJsonText(glb);
  const std::size_t at = json.find("\"count\":");
  ASSERT_NE(at, std::string::npos);
  std::string damaged = json;
  damaged.replace(at, 8, "\"count\":9");  // 9 then the old digits: far too many elements
  std::copy(damaged.begin(), damaged.begin() + static_cast<long>(json.size()), glb.begin() + 20);
  WriteFile(dir.file("damaged.glb"), glb);
  run = Tool(dir, "-o " + dir.file("out/d.bmf") + " " + dir.file("damaged.glb"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("damaged.glb: glTF /accessors/"), std::string::npos) << run.err;
  std::ofstream(dir.file("bad.obj")) << "v 0 0 0\nf 1 2 3\n";
  run = Tool(dir, "-o " + dir.file("out/d.bmf") + " " + dir.file("bad.obj"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("bad.obj: OBJ line 2: corner names position 2"), std::string::npos)
      << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/d.bmf")));
  EXPECT_TRUE(NoTemporaryFiles(dir.file("out")));
}

// The conversion every front end runs takes the same inputs: bytes, and
// the files beside them through a virtual folder.
TEST_F(OtherFormats, TheSharedConversionWritesAndSaysWhat3ds2bmfDoes) {
  ASSERT_EQ(Tool(dir, "-q -o " + dir.file("out/crate.bmf") + " " + dir.file("crate.glb")).status,
            0);
  torvik::ConversionSettings settings;
  settings.resolve_textures = false;
  torvik::ConversionReport report =
      torvik::ConvertModel(ReadFile(dir.file("crate.glb")), "", settings);
  EXPECT_EQ(report.format, torvik::ModelFormat::gltf_binary);
  EXPECT_EQ(report.bmf, ReadFile(dir.file("out/crate.bmf")));
  ASSERT_EQ(report.images.size(), 2u);
  EXPECT_EQ(report.images[0].bytes, ReadFile(dir.file("out/CRATE.TGA")));
  EXPECT_FALSE(
      torvik::ConvertSceneToGltf(ReadFile(dir.file("crate.glb")), "", settings).glb.empty());
  // An OBJ whose material library comes from the caller's folder.
  const std::string obj = "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Red\nf 1 2 3\n";
  std::vector<std::string> asked;
  settings.files = [&](const std::string& path, std::uint64_t) {
    asked.push_back(path);
    const std::string mtl = "newmtl Red\nKd 1 0 0\n";
    return std::vector<torvik::byte>(mtl.begin(), mtl.end());
  };
  report = torvik::ConvertModel(std::vector<torvik::byte>(obj.begin(), obj.end()), "", settings);
  EXPECT_EQ(asked, std::vector<std::string>{"m.mtl"});
  EXPECT_EQ(torvik::ReadBmf(report.bmf).blocks[0].diffuse.red, 1.0f);
  // The options only a 3DS file takes are refused, as 3ds2bmf words it.
  settings.keyframer = true;
  try {
    torvik::ConvertModel(ReadFile(dir.file("crate.glb")), "", settings);
    ADD_FAILURE() << "converted";
  } catch (const torvik::RefusedSettingsError& refused) {
    EXPECT_EQ(std::string(refused.what()),
              "--keyframer reads what only a 3DS file holds; this is a glTF file");
  }
}

}  // namespace
