// Texture images that are not what their names say, claim sizes they don't
// have, or are named many times: through the image component's API, the
// previews and glTF export, and the commands.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <chrono>
#include <climits>
#include <nlohmann/json.hpp>

#include "image_files.h"
#include "images/decode_image.h"
#include "images/encode_png.h"
#include "preview_textures.h"
#include "shapes.h"
#include "test_support.h"
#include "texture_image.h"
#include "threeds_builder.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/texture_finder.h"

namespace {

namespace images = torvik::images;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::ToolRun;
using testing_support::WriteFile;

constexpr t3ds::Rgb kRed{220, 30, 30}, kBlue{30, 30, 220};

// The top row red, the rest blue.
t3ds::RgbImage RedTop(int width, int height) {
  t3ds::RgbImage image(width, height, kBlue);
  for (int x = 0; x < width; ++x) image.at(x, 0) = kRed;
  return image;
}

std::string Reason(const std::vector<std::uint8_t>& bytes) {
  try {
    images::DecodeImage(bytes, 3);
  } catch (const images::ImageError& error) {
    return error.what();
  }
  return "decoded";
}

bool DiagonalPattern(int x, int y) { return x == y; }

void AppendTo(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  out->insert(out->end(), static_cast<std::uint8_t*>(data),
              static_cast<std::uint8_t*>(data) + size);
}

TEST(HostileImages, FormatsAreToldByContentAndOnlyTheFivePromisedAreDecoded) {
  const t3ds::RgbImage picture = RedTop(6, 4);
  std::vector<std::uint8_t> rgb;
  for (const t3ds::Rgb& pixel : picture.pixels) rgb.insert(rgb.end(), pixel.begin(), pixel.end());
  std::vector<std::uint8_t> jpeg;
  ASSERT_NE(stbi_write_jpg_to_func(AppendTo, &jpeg, 6, 4, 3, rgb.data(), 95), 0);
  const std::vector<std::pair<images::ImageFormat, std::vector<std::uint8_t>>> files = {
      {images::ImageFormat::png, images::EncodePng({6, 4, 3, rgb})},
      {images::ImageFormat::jpeg, jpeg},
      {images::ImageFormat::tga, t3ds::TgaBytes(picture)},
      {images::ImageFormat::bmp, t3ds::BmpBytes(picture)},
      {images::ImageFormat::bmp, t3ds::BmpBytes(picture, true)},
  };
  for (const auto& [format, bytes] : files) {
    SCOPED_TRACE(images::FormatName(format));
    EXPECT_EQ(images::ReadImageHeader(bytes).format, format);
    for (const int channels : {3, 4}) {
      const images::DecodedImage image = images::DecodeImage(bytes, channels);
      ASSERT_EQ(image.width * 10 + image.height, 64u);
      // Right side up: red on top, blue below; opaque.
      EXPECT_GT(image.pixels[0], 180);
      EXPECT_LT(image.pixels[2], 80);
      EXPECT_LT(image.pixels[6 * channels * 3], 80);
      EXPECT_GT(image.pixels[6 * channels * 3 + 2], 180);
      if (channels == 4) {
        EXPECT_EQ(image.pixels[3], 255);
      }
    }
  }
  const images::DecodedImage gif =
      images::DecodeImage(t3ds::GifBytes(3, 3, kBlue, kRed, DiagonalPattern), 3);
  EXPECT_EQ(gif.pixels, (std::vector<std::uint8_t>{220, 30, 30,  30,  30, 220, 30,  30, 220,  //
                                                   30,  30, 220, 220, 30, 30,  30,  30, 220,  //
                                                   30,  30, 220, 30,  30, 220, 220, 30, 30}));

  // A 16-bit binary PGM is refused as what it is, whatever its name says.
  TempDir dir;
  WriteFile(dir.file("tex.png"), t3ds::Pgm16Bytes(3000, 3000, 0x1234));
  try {
    LoadTextureImage(dir.file("tex.png"));
    ADD_FAILURE() << "a PGM was decoded";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()),
              "not an image that is decoded: a PGM image, and only JPEG, PNG, TGA, BMP and GIF "
              "images are decoded");
  }
  using namespace std::string_literals;
  for (const std::string& other :
       {"8BPS\1\0\0\0\0\0"s, "#?RADIANCE\n"s, "P6\n1 1\n255\n"s, "II*\0\x08\0\0\0\0\0"s})
    EXPECT_EQ(Reason(std::vector<std::uint8_t>(other.begin(), other.end()))
                  .rfind("not an image that is decoded: a", 0),
              0u)
        << other;
  EXPECT_EQ(Reason({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e', 0, 0, 0, 0, 0, 0}),
            "not an image: only JPEG, PNG, TGA, BMP and GIF images are decoded");
}

TEST(HostileImages, OneSizeCheckOnAbsoluteSizesNamesTheRealReason) {
  // A top-down BMP's negative height counts as rows, before any decoding.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Reason(t3ds::BmpHeaderBytes(10000, -10000)),
            "image of 10000 x 10000 pixels is larger than 64 megapixels: not decoded");
  EXPECT_EQ(Reason(t3ds::BmpHeaderBytes(26000, -26000)),
            "image of 26000 x 26000 pixels is larger than 64 megapixels: not decoded");
  EXPECT_EQ(Reason(t3ds::BmpHeaderBytes(4, INT_MIN)),
            "image of 4 x 2147483648 pixels is larger than 64 megapixels: not decoded");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(Reason(t3ds::BmpHeaderBytes(70000, -2)),
            "image of 70000 x 2 pixels is wider or taller than 65535 pixels: not decoded");
  EXPECT_EQ(Reason(t3ds::BmpHeaderBytes(-4, 4)), "damaged image (BMP: a negative width)");
  // Empty is empty, not large.
  EXPECT_EQ(Reason(t3ds::GifBytes(0, 0, kRed, kBlue, DiagonalPattern)),
            "empty image (0 x 0 pixels): not decoded");
  EXPECT_EQ(Reason(t3ds::BmpHeaderBytes(0, -5)), "empty image (0 x 5 pixels): not decoded");
  // A few bytes that claim a large uncompressed image are damaged.
  std::vector<std::uint8_t> tga = t3ds::TgaBytes(RedTop(2, 2));
  tga[12] = 0x05, tga[13] = 0xDF, tga[14] = 0x1F, tga[15] = 0;
  EXPECT_EQ(Reason(tga), "damaged image (TGA: the file ends before its pixels do)");
  tga[2] = 10;  // run-length encoded: at most 128 pixels per packet
  EXPECT_EQ(Reason(tga), "damaged image (TGA: the file ends before its pixels do)");
  std::vector<std::uint8_t> bmp = t3ds::BmpBytes(RedTop(40, 40));
  bmp.resize(bmp.size() - 1);
  EXPECT_EQ(Reason(bmp), "damaged image (BMP: the file ends before its pixels do)");
}

class HostileTextures : public ::testing::Test {
 protected:
  // A model of `textures.size()` boxes, each with a material of its own
  // naming that texture, as BMF beside its 3DS file.
  void WriteModel(const std::vector<std::string>& textures) {
    std::vector<t3ds::Material> materials;
    std::vector<t3ds::Mesh> meshes;
    for (std::size_t i = 0; i < textures.size(); ++i) {
      std::string name = "M";
      name += std::to_string(i);
      const float x = static_cast<float>(2 * i);
      meshes.push_back(t3ds::TexturedBox(name, {x, 0, 0}, {x + 1, 1, 1}));
      t3ds::AssignAll(meshes.back(), name);
      materials.push_back({name, {}, t3ds::Color{0.5f, 0.5f, 0.5f}, {}, {}, false, textures[i]});
    }
    model = t3ds::BuildFile(materials, meshes);
    WriteFile(dir.file("model.3ds"), model);
    WriteFile(dir.file("model.bmf"), testing_support::Convert(model));
  }
  ToolRun Run(const std::string& tool, const std::string& args) const {
    return testing_support::RunCommand(tool + " " + args, dir);
  }
  static nlohmann::json GlbJson(const std::vector<std::uint8_t>& glb) {
    const std::size_t length = glb.at(12) | glb.at(13) << 8 | glb.at(14) << 16 |
                               static_cast<std::size_t>(glb.at(15)) << 24;
    return nlohmann::json::parse(glb.begin() + 20, glb.begin() + 20 + static_cast<long>(length));
  }

  TempDir dir;
  std::vector<std::uint8_t> model;
};

TEST_F(HostileTextures, CommandsRefuseThemWithTheReasonAndKeepGoing) {
  WriteModel({"tex.png", "wide.bmp", "empty.gif", "upright.bmp"});
  WriteFile(dir.file("tex.png"), t3ds::Pgm16Bytes(3000, 3000, 0x1234));
  WriteFile(dir.file("wide.bmp"), t3ds::BmpHeaderBytes(10000, -10000));
  WriteFile(dir.file("empty.gif"), t3ds::GifBytes(0, 0, kRed, kBlue, DiagonalPattern));
  WriteFile(dir.file("upright.bmp"), t3ds::BmpBytes(RedTop(16, 16), true));
  const auto start = std::chrono::steady_clock::now();
  const ToolRun png = Run(TORVIK_BMFTOOL, "png " + dir.file("model.bmf"));
  const ToolRun convert = Run(
      TORVIK_3DS2BMF, "--preview --gltf -o " + dir.file("out.bmf") + " " + dir.file("model.3ds"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  for (const ToolRun* run : {&png, &convert}) {
    EXPECT_EQ(run->status, 0) << run->err;
    EXPECT_NE(run->err.find(dir.file("tex.png") + ": not an image that is decoded: a PGM image"),
              std::string::npos)
        << run->err;
    EXPECT_NE(run->err.find(dir.file("wide.bmp") +
                            ": image of 10000 x 10000 pixels is larger than 64 megapixels"),
              std::string::npos)
        << run->err;
    EXPECT_NE(run->err.find(dir.file("empty.gif") + ": empty image (0 x 0 pixels)"),
              std::string::npos)
        << run->err;
    EXPECT_EQ(run->err.find("upright.bmp"), std::string::npos) << run->err;
  }
  // The glTF warns of the same three, and embeds the top-down BMP.
  EXPECT_NE(convert.err.find("out.glb: warning: texture 'wide.bmp' of block 1: "),
            std::string::npos)
      << convert.err;
  const nlohmann::json json = GlbJson(ReadFile(dir.file("out.glb")));
  ASSERT_EQ(json["images"].size(), 1u);
  EXPECT_EQ(json["images"][0]["name"], "upright.bmp");
}

TEST_F(HostileTextures, OneFileNamedInSixteenCasesIsDecodedAndEmbeddedOnce) {
  std::vector<std::string> names;
  for (unsigned variant = 0; variant < 16; ++variant) {
    std::string name = "big.png";
    for (unsigned letter = 0; letter < 4; ++letter)
      if ((variant >> letter & 1) != 0) name[letter < 3 ? letter : 4] -= 'a' - 'A';
    names.push_back(name);
  }
  WriteModel(names);
  const images::DecodedImage picture{64, 64, 3, std::vector<std::uint8_t>(64 * 64 * 3, 77)};
  WriteFile(dir.file("big.png"), images::EncodePng(picture));

  // The preview shares one image among the blocks.
  const torvik::BmfFile file = torvik::ReadBmfFile(dir.file("model.bmf"));
  std::vector<torvik::TextureResolution> resolved;
  for (const std::string& name : BlockTextureNames(file))
    resolved.push_back(torvik::ResolveTexture(name, dir.file("model.bmf")));
  ASSERT_EQ(resolved.size(), 16u);
  const PreviewTextures textures = LoadPreviewTextures(file, resolved, true);
  EXPECT_TRUE(textures.problems.empty());
  ASSERT_EQ(textures.blocks.size(), 16u);
  ASSERT_NE(textures.blocks[0], nullptr);
  for (const auto& block : textures.blocks) EXPECT_EQ(block, textures.blocks[0]);

  // The glTF holds the file once, and every material samples it.
  const ToolRun convert =
      Run(TORVIK_3DS2BMF, "--gltf -o " + dir.file("out.bmf") + " " + dir.file("model.3ds"));
  EXPECT_EQ(convert.status, 0) << convert.err;
  const nlohmann::json json = GlbJson(ReadFile(dir.file("out.glb")));
  EXPECT_EQ(json["images"].size(), 1u);
  EXPECT_EQ(json["textures"].size(), 1u);
  ASSERT_EQ(json["materials"].size(), 16u);
  for (const auto& material : json["materials"])
    EXPECT_EQ(material["pbrMetallicRoughness"]["baseColorTexture"]["index"], 0);
}

TEST_F(HostileTextures, TexturesPastTheModelsBudgetAreLeftOutWithAWarning) {
  WriteModel({"a.png", "B.PNG", "c.png", "A.png"});
  std::vector<std::uint64_t> sizes;
  for (const char* name : {"a.png", "b.png", "c.png"}) {
    const images::DecodedImage picture{8, 8, 3, std::vector<std::uint8_t>(8 * 8 * 3, 99)};
    WriteFile(dir.file(name), images::EncodePng(picture));
    sizes.push_back(std::filesystem::file_size(dir.file(name)));
  }
  // Room for two decoded images: the third is drawn in its diffuse colour,
  // and the fourth name, the first file again, costs nothing more.
  const torvik::BmfFile file = torvik::ReadBmfFile(dir.file("model.bmf"));
  std::vector<torvik::TextureResolution> resolved;
  for (const std::string& name : BlockTextureNames(file))
    resolved.push_back(torvik::ResolveTexture(name, dir.file("model.bmf")));
  const PreviewTextures textures = LoadPreviewTextures(file, resolved, true, 2 * 8 * 8 * 3);
  ASSERT_EQ(textures.problems.size(), 1u);
  EXPECT_EQ(textures.problems[0], "texture \"c.png\": " + dir.file("c.png") +
                                      ": the model's textures would take more than 384 bytes of "
                                      "memory, drawn in its diffuse colour");
  ASSERT_EQ(textures.blocks.size(), 4u);
  EXPECT_NE(textures.blocks[1], nullptr);
  EXPECT_EQ(textures.blocks[2], nullptr);
  EXPECT_EQ(textures.blocks[3], textures.blocks[0]);

  // The glTF export counts the bytes it embeds.
  torvik::GltfOptions options;
  options.find_texture = torvik::TexturesBeside(dir.path() / "model.bmf");
  options.texture_budget = sizes[0] + sizes[1];
  const torvik::GltfDocument document = torvik::BuildGltf(file, options);
  ASSERT_EQ(document.warnings.size(), 1u);
  EXPECT_EQ(document.warnings[0], "texture 'c.png' of block 2: " + dir.file("c.png") +
                                      ": the model's textures would take more than " +
                                      std::to_string(sizes[0] + sizes[1]) +
                                      " bytes of memory; the block is left untextured");
  EXPECT_EQ(document.json["images"].size(), 2u);
}

}  // namespace
