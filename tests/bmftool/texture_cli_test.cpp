// Textures through bmftool: previews drawn with them, the right way up and
// round; images it refuses; info and obj pointing at the files found.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "png_file.h"
#include "shapes.h"
#include "test_support.h"
#include "texture_image.h"
#include "tga_image.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::ToolRun;
using testing_support::WriteFile;

constexpr t3ds::Rgb kRed{230, 20, 20}, kGreen{20, 200, 20}, kBlue{20, 20, 230};

// The top half red on the left and green on the right, the bottom half blue.
t3ds::RgbImage Quadrants() {
  t3ds::RgbImage image(8, 8, kBlue);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) image.at(x, y) = x < 4 ? kRed : kGreen;
  return image;
}

class BmftoolTextures : public ::testing::Test {
 protected:
  // A square facing a viewer at yaw 0 and pitch 0, in the file's x-z plane,
  // with the texture upright on it, named `texture`.
  void WriteQuad(const std::string& texture) {
    t3ds::Mesh quad = t3ds::Quad("Quad", {-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1});
    t3ds::AssignAll(quad, "Paint");
    const t3ds::Material paint{"Paint", {}, t3ds::Color{1, 1, 1}, {}, {}, false, texture};
    WriteFile(dir.file("quad.bmf"), testing_support::Convert(t3ds::BuildFile({paint}, {quad})));
  }
  ToolRun Tool(const std::string& args) const {
    return testing_support::RunCommand(std::string(TORVIK_BMFTOOL) + " " + args, dir);
  }
  // The preview goes where no texture search looks.
  Image Preview(const std::string& args, ToolRun& run) const {
    std::filesystem::create_directories(dir.file("out"));
    run = Tool("png --size 64 --yaw 0 --pitch 0 -o " + dir.file("out/quad.png") + " " + args + " " +
               dir.file("quad.bmf"));
    return LoadTextureImage(dir.file("out/quad.png"));
  }

  TempDir dir;
};

bool Near(Rgb8 pixel, t3ds::Rgb colour) {
  return std::abs(pixel.r - colour[0]) + std::abs(pixel.g - colour[1]) +
             std::abs(pixel.b - colour[2]) <
         150;  // lit, but clearly that colour
}

TEST_F(BmftoolTextures, PreviewShowsTheTextureUprightWithTheTopColourAtTheTop) {
  WriteQuad("C:\\MAPS\\QUAD.TGA");
  std::filesystem::create_directory(dir.file("maps"));
  WriteFile(dir.file("maps/Quad.tga"), t3ds::TgaBytes(Quadrants()));
  ToolRun run;
  const Image image = Preview("", run);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Near(image.At(20, 20), kRed));
  EXPECT_TRUE(Near(image.At(44, 20), kGreen));
  EXPECT_TRUE(Near(image.At(20, 44), kBlue));
  EXPECT_TRUE(Near(image.At(44, 44), kBlue));

  // Without textures, or with the texture gone: the diffuse white, and a word why.
  const Image flat = Preview("--no-textures", run);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(flat.At(20, 20), flat.At(20, 44));
  std::filesystem::rename(dir.file("maps"), dir.file("elsewhere"));
  const Image missing = Preview("", run);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "bmftool: " + dir.file("quad.bmf") +
                         ": texture \"C:\\MAPS\\QUAD.TGA\" not found, drawn in its diffuse "
                         "colour\n");
  EXPECT_EQ(missing.pixels, flat.pixels);
  // ...unless a texture folder says where it is.
  const Image found = Preview("--texture-path " + dir.file("elsewhere"), run);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Near(found.At(20, 20), kRed));
}

TEST_F(BmftoolTextures, BrokenAndOversizedImagesAreRefusedWithAMessage) {
  // A PNG cut short after its header, and bytes that are no image at all.
  WriteQuad("QUAD.PNG");
  Image picture;
  picture.width = picture.height = 64;
  picture.pixels.assign(64 * 64, Rgb8{1, 2, 3});
  WritePng(dir.file("QUAD.PNG"), picture);
  std::filesystem::resize_file(dir.file("QUAD.PNG"), 60);
  ToolRun run;
  Image image = Preview("", run);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find(dir.file("QUAD.PNG") + ": damaged image"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("drawn in its diffuse colour"), std::string::npos);
  WriteFile(dir.file("QUAD.PNG"), {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
  image = Preview("", run);
  EXPECT_NE(run.err.find(dir.file("QUAD.PNG") + ": not an image"), std::string::npos) << run.err;

  // A header that claims 40000 x 40000 pixels: refused before any decoding.
  t3ds::RgbImage tiny(1, 1);
  std::vector<std::uint8_t> huge = t3ds::TgaBytes(tiny);
  huge[12] = huge[14] = 0x40;
  huge[13] = huge[15] = 0x9C;
  WriteQuad("HUGE.TGA");
  WriteFile(dir.file("huge.tga"), huge);
  image = Preview("", run);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("image of 40000 x 40000 pixels is larger than 64 megapixels"),
            std::string::npos)
      << run.err;
  EXPECT_THROW(LoadTextureImage(dir.file("huge.tga")), std::runtime_error);
}

TEST_F(BmftoolTextures, InfoAndObjPointAtTheFilesFound) {
  WriteQuad("C:\\MAPS\\QUAD.TGA");
  std::filesystem::create_directories(dir.file("quad_maps"));
  WriteFile(dir.file("quad_maps/Quad.tga"), t3ds::TgaBytes(Quadrants()));
  const ToolRun text = Tool("info " + dir.file("quad.bmf"));
  EXPECT_NE(text.out.find("block 0: texture \"C:\\MAPS\\QUAD.TGA\", " +
                          dir.file("quad_maps/Quad.tga") + " (subfolder)\n"),
            std::string::npos)
      << text.out;
  const ToolRun json = Tool("info --json " + dir.file("quad.bmf"));
  EXPECT_NE(json.out.find("\"texture_file\":{\"name\":\"C:\\\\MAPS\\\\QUAD.TGA\",\"path\":\"" +
                          dir.file("quad_maps/Quad.tga") +
                          "\",\"rule\":\"subfolder\",\"candidates\":[]}"),
            std::string::npos)
      << json.out;

  std::filesystem::create_directories(dir.file("export"));
  EXPECT_EQ(Tool("obj -o " + dir.file("export/quad.obj") + " " + dir.file("quad.bmf")).status, 0);
  const std::vector<std::uint8_t> mtl = ReadFile(dir.file("export/quad.mtl"));
  EXPECT_NE(std::string(mtl.begin(), mtl.end()).find("map_Kd ../quad_maps/Quad.tga\n"),
            std::string::npos);

  // A --texture-path that is not a folder is one warning up front.
  const ToolRun nowhere = Tool("info --texture-path " + dir.file("nowhere") + " " +
                               dir.file("quad.bmf") + " " + dir.file("quad.bmf"));
  EXPECT_EQ(nowhere.err,
            "bmftool: " + dir.file("nowhere") + ": --texture-path is not a folder (ignored)\n");

  // Not found: the stored name's last component, and info says so.
  std::filesystem::remove_all(dir.file("quad_maps"));
  EXPECT_NE(Tool("info " + dir.file("quad.bmf")).out.find("QUAD.TGA\", not found\n"),
            std::string::npos);
  EXPECT_NE(Tool("info --json " + dir.file("quad.bmf")).out.find("\"path\":null,\"rule\":null"),
            std::string::npos);
  Tool("obj -o " + dir.file("export/quad.obj") + " " + dir.file("quad.bmf"));
  const std::vector<std::uint8_t> stored = ReadFile(dir.file("export/quad.mtl"));
  EXPECT_NE(std::string(stored.begin(), stored.end()).find("map_Kd QUAD.TGA\n"), std::string::npos);
}

// A bare file name lies in the current folder, for every command and an
// -o that names a file without a folder.
TEST_F(BmftoolTextures, BareFileNamesMeanTheCurrentFolder) {
  WriteQuad("QUAD.TGA");
  std::filesystem::create_directories(dir.file("quad_maps"));
  WriteFile(dir.file("quad_maps/Quad.tga"), t3ds::TgaBytes(Quadrants()));
  const std::string here = "cd " + dir.path().string() + " && " + TORVIK_BMFTOOL + " ";
  for (const char* args : {"obj quad.bmf", "obj -o out.obj quad.bmf", "gltf quad.bmf",
                           "png --size 16 quad.bmf", "info quad.bmf"}) {
    const ToolRun run = testing_support::RunCommand(here + args, dir);
    EXPECT_EQ(run.status, 0) << args << "\n" << run.err;
    EXPECT_EQ(run.err, "") << args;
  }
  for (const char* mtl : {"quad.mtl", "out.mtl"}) {
    const std::vector<std::uint8_t> text = ReadFile(dir.file(mtl));
    EXPECT_NE(std::string(text.begin(), text.end()).find("map_Kd quad_maps/Quad.tga\n"),
              std::string::npos)
        << mtl;
  }
  EXPECT_TRUE(std::filesystem::exists(dir.file("quad.glb")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("quad.png")));
}

// A model of several materials, the first untextured and the others each
// with a texture of its own, and a box without a material, for which the
// conversion puts the default material before the file's (and the corpus's
// boxes of three textures): 3ds2bmf's preview draws every block with its own
// material, pixel for pixel as bmftool png draws the BMF it wrote.
TEST_F(BmftoolTextures, ThePreviewDrawsEachBlockWithItsOwnMaterialAsBmftoolPngDoes) {
  const auto chequered = [](t3ds::Rgb colour) {
    t3ds::RgbImage image(16, 16, {250, 250, 250});
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        if ((x / 4 + y / 4) % 2 == 0) image.at(x, y) = colour;
    return image;
  };
  std::vector<t3ds::Material> materials = {
      {"Grey", {}, t3ds::Color{0.5f, 0.5f, 0.5f}, {}, {}, false, ""}};
  std::vector<t3ds::Mesh> boxes;
  const t3ds::Rgb colours[] = {kRed, kGreen, kBlue};
  for (int i = 0; i < 4; ++i) {
    const std::string name = "Box" + std::to_string(i);
    if (i > 0) {
      materials.push_back({name, {}, t3ds::Color{1, 1, 1}, {}, {}, false, name + ".TGA"});
      WriteFile(dir.file(name + ".tga"), t3ds::TgaBytes(chequered(colours[i - 1])));
    }
    const auto x = static_cast<float>(i) * 1.5f;
    boxes.push_back(t3ds::TexturedBox(name, {x, 0, 0}, {x + 1, 1, 1}));
    t3ds::AssignAll(boxes.back(), materials.back().name);
  }
  boxes.push_back(t3ds::TexturedBox("Bare", {0, 1.5f, 0}, {1, 2.5f, 1}));
  WriteFile(dir.file("boxes.3ds"), t3ds::BuildFile(materials, boxes));
  std::vector<std::string> models = {"boxes"};
  // The corpus's three boxes, beside textures of their names.
  for (const std::string& path : testing_support::CorpusFiles()) {
    if (std::filesystem::path(path).filename() != "test1.3ds") continue;
    std::filesystem::copy_file(path, dir.file("test1.3ds"));
    for (int i = 0; i < 3; ++i)
      WriteFile(dir.file(std::array{"IMAGE1.JPG", "CWALL02.JPG", "IMAGE2.JPG"}[i]),
                t3ds::TgaBytes(chequered(colours[i])));
    models.push_back("test1");
  }
  for (const std::string& model : models) {
    const ToolRun convert = testing_support::RunCommand(
        std::string(TORVIK_3DS2BMF) + " --preview " + dir.file(model + ".3ds"), dir);
    ASSERT_EQ(convert.status, 0) << convert.err;
    EXPECT_EQ(convert.err, "") << model;
    const ToolRun png = Tool("png -o " + dir.file("out.png") + " " + dir.file(model + ".bmf"));
    ASSERT_EQ(png.status, 0) << png.err;
    const Image preview = LoadTextureImage(dir.file(model + ".png"));
    const Image drawn = LoadTextureImage(dir.file("out.png"));
    EXPECT_TRUE(preview.pixels == drawn.pixels) << model;
    if (model != "boxes") continue;
    // Each box shows its own colour somewhere, the grey one none.
    for (const t3ds::Rgb colour : colours)
      EXPECT_TRUE(std::any_of(preview.pixels.begin(), preview.pixels.end(),
                              [&](Rgb8 pixel) { return Near(pixel, colour); }))
          << int{colour[0]} << "," << int{colour[1]} << "," << int{colour[2]};
  }
}

// Every command that looks for textures takes --texture, and none takes
// the preview it wrote beside the BMF for the model's texture.
TEST_F(BmftoolTextures, ChoicesAndOwnPreviewsInEveryCommand) {
  WriteQuad("QUAD.TGA");
  for (int run = 0; run < 2; ++run) {
    const ToolRun png = Tool("png --size 16 " + dir.file("quad.bmf"));
    EXPECT_EQ(png.status, 0) << png.err;
    EXPECT_NE(png.err.find("texture \"QUAD.TGA\" not found"), std::string::npos) << png.err;
  }
  EXPECT_NE(Tool("info " + dir.file("quad.bmf")).out.find("\"QUAD.TGA\", not found"),
            std::string::npos);

  WriteFile(dir.file("paint.tga"), t3ds::TgaBytes(Quadrants()));
  const std::string choice = " --texture quad.tga=" + dir.file("paint.tga") + " ";
  EXPECT_NE(Tool("info" + choice + dir.file("quad.bmf"))
                .out.find("\"QUAD.TGA\", " + dir.file("paint.tga") + " (given)\n"),
            std::string::npos);
  ToolRun png;
  const Image image = Preview(choice, png);
  EXPECT_EQ(png.err, "");
  EXPECT_TRUE(Near(image.At(20, 20), kRed));
  const ToolRun gltf = Tool("gltf" + choice + dir.file("quad.bmf"));
  EXPECT_EQ(gltf.err, "");
  const std::vector<std::uint8_t> glb = ReadFile(dir.file("quad.glb"));
  EXPECT_NE(std::string(glb.begin(), glb.end()).find("image/png"), std::string::npos);
  EXPECT_EQ(Tool("obj" + choice + dir.file("quad.bmf")).status, 0);
  const std::vector<std::uint8_t> mtl = ReadFile(dir.file("quad.mtl"));
  EXPECT_NE(std::string(mtl.begin(), mtl.end()).find("map_Kd paint.tga\n"), std::string::npos);
  EXPECT_EQ(Tool("validate" + choice + dir.file("quad.bmf")).status, 2);
  EXPECT_EQ(
      Tool("info --texture quad.tga=" + dir.file("none.tga") + " " + dir.file("quad.bmf")).status,
      2);
}

}  // namespace
