// Texture images that are not what their names say, claim sizes they don't
// have, or are named many times: through the image component's API, the
// previews and glTF export, and the commands.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "image_files.h"
#include "images/decode_image.h"
#include "images/decoder_memory.h"
#include "images/encode_png.h"
#include "images/jpeg_survey.h"
#include "jpeg_image.h"
#include "png_image.h"
#include "preview_textures.h"
#include "shapes.h"
#include "test_support.h"
#include "texture_image.h"
#include "threeds_builder.h"
#include "torvik32c/gltf_document.h"
#include "torvik32c/reports.h"
#include "torvik32c/texture_finder.h"

extern "C" unsigned char* stbi_zlib_compress(unsigned char* data, int data_len, int* out_len,
                                             int quality);

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

// The pixels of a PNG or the reason it is refused.
std::vector<std::uint8_t> PixelsOf(const std::vector<std::uint8_t>& bytes) {
  return images::DecodeImage(bytes, 3).pixels;
}

// A zlib stream of `raw`, by the stb build the tests link (its header
// declares the function only with the implementation).
std::vector<std::uint8_t> Compressed(const std::vector<std::uint8_t>& raw) {
  int size = 0;
  unsigned char* data = stbi_zlib_compress(const_cast<unsigned char*>(raw.data()),
                                           static_cast<int>(raw.size()), &size, 8);
  std::vector<std::uint8_t> out(data, data + size);
  std::free(data);
  return out;
}

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

// Every build walks a PNG's chunks before decoding and refuses what libpng
// refuses, wherever it is in the file (libpng itself stops reading after the
// image data); damage confined to ancillary chunks decodes, but the file is
// not one to pass on as it is.  Interlaced rows decode as the plain ones.
TEST(HostileImages, PngChunksAreWalkedEndToEndBeforeDecoding) {
  const std::vector<t3ds::PngChunk> chunks = t3ds::PngChunks(RedTop(4, 4));  // IHDR IDAT IEND
  const auto with = [&](std::size_t at, const t3ds::PngChunk& chunk) {
    std::vector<t3ds::PngChunk> all = chunks;
    all.insert(all.begin() + static_cast<std::ptrdiff_t>(at), chunk);
    return t3ds::PngFile(all);
  };
  const std::vector<std::uint8_t> good = t3ds::PngFile(chunks);
  EXPECT_TRUE(images::ReadImageHeader(good).viewer_ready);
  // Rows stored in Adam7's passes come out as the same picture, whichever
  // passes a size leaves empty.
  for (const auto& [width, height] : {std::pair{9, 7}, {1, 1}, {2, 5}, {17, 2}}) {
    t3ds::RgbImage pattern(width, height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        pattern.at(x, y) = {static_cast<std::uint8_t>(x * 20), static_cast<std::uint8_t>(y * 30),
                            static_cast<std::uint8_t>(x ^ y)};
    const std::vector<std::uint8_t> interlaced = t3ds::PngFile(t3ds::PngChunks(pattern, true));
    for (const int channels : {3, 4})
      EXPECT_EQ(images::DecodeImage(interlaced, channels).pixels,
                images::DecodeImage(t3ds::PngBytes(pattern), channels).pixels)
          << width << " x " << height;
  }
  for (const std::size_t at : {1u, 2u})
    EXPECT_EQ(Reason(with(at, {"a1b2", {1}})),
              "damaged image (PNG: invalid chunk type 97 49 98 50)");
  EXPECT_EQ(Reason(with(2, {"ABCD", {}})), "damaged image (PNG: unknown critical chunk ABCD)");
  std::vector<std::uint8_t> cut = t3ds::PngFile({chunks[0], chunks[1]});
  EXPECT_EQ(Reason(cut), "damaged image (PNG: no IEND chunk at the end)");
  cut.insert(cut.end(), {0, 0, 3, 0xE8, 't', 'E', 'X', 't', 'a', 'b', 'c'});
  EXPECT_EQ(Reason(cut), "damaged image (PNG: chunk tEXt runs past the end of the file)");
  std::vector<std::uint8_t> bad_crc = good;
  bad_crc[bad_crc.size() - 13] ^= 1;  // the last byte of IDAT's CRC, before the 12 of IEND
  EXPECT_EQ(Reason(bad_crc), "damaged image (PNG: CRC error in chunk IDAT)");

  // A text chunk with a bad CRC, bytes after IEND: decoded, not well formed.
  std::vector<std::uint8_t> text_crc = with(1, {"tEXt", {'k', 0, 'v'}});
  text_crc[8 + 25 + 4 + 4 + 3] ^= 1;  // after the signature and IHDR: length, type, data, CRC
  std::vector<std::uint8_t> trailing = good;
  trailing.push_back(0);
  for (const auto& quirky : {text_crc, trailing}) {
    EXPECT_EQ(PixelsOf(quirky), PixelsOf(good));
    EXPECT_FALSE(images::ReadImageHeader(quirky).viewer_ready);
  }
}

// Text, profiles and other ancillary chunks are skipped without being
// inflated: a 4 x 4 image whose chunks inflate to 5 MiB decodes within a
// quarter of a MiB.  And that bound holds whatever inflates: image data
// that inflates past its rows is never inflated by libpng, and cut off in
// stb_image; image data that ends before its rows do is refused.
TEST(HostileImages, AncillaryChunksAreNotInflatedAndDecodersAreBounded) {
  const std::vector<t3ds::PngChunk> chunks = t3ds::PngChunks(RedTop(4, 4));
  const std::vector<std::uint8_t> megabyte = Compressed(std::vector<std::uint8_t>(1 << 20, 'A'));
  const auto after = [&](std::string_view head, std::initializer_list<std::uint8_t> more) {
    std::vector<std::uint8_t> data(head.begin(), head.end());
    data.insert(data.end(), more);
    data.insert(data.end(), megabyte.begin(), megabyte.end());
    return data;
  };
  std::vector<t3ds::PngChunk> bomb = {chunks[0]};
  for (int i = 0; i < 3; ++i) bomb.push_back({"zTXt", after("Comment", {0, 0})});
  bomb.push_back({"iTXt", after("Comment", {0, 1, 0, 0, 0})});
  bomb.push_back({"iCCP", after("profile", {0, 0})});
  bomb.insert(bomb.end(), {chunks[1], chunks[2]});
  const std::vector<std::uint8_t> good = t3ds::PngFile(chunks);
  std::vector<std::uint8_t> rows;
  for (int y = 0; y < 4; ++y) {
    rows.push_back(0);
    for (int x = 0; x < 4; ++x)
      rows.insert(rows.end(), {30, 30, static_cast<std::uint8_t>(y == 0 ? 30 : 220)});
  }
  std::vector<std::uint8_t> long_rows = rows;
  long_rows.resize(4 << 20);
  const std::vector<std::uint8_t> idat_bomb =
      t3ds::PngFile({chunks[0], {"IDAT", Compressed(long_rows)}, chunks[2]});

  rows.resize(rows.size() / 2);
  const std::vector<std::uint8_t> short_rows =
      t3ds::PngFile({chunks[0], {"IDAT", Compressed(rows)}, chunks[2]});

  const images::ScopedDecoderMemoryLimit limit(256 << 10);
  EXPECT_EQ(PixelsOf(t3ds::PngFile(bomb)), PixelsOf(good));
  EXPECT_NE(Reason(short_rows), "decoded");
  if (std::string(images::DecoderOf(images::ImageFormat::png)) == "libpng")
    EXPECT_EQ(Reason(idat_bomb), "decoded");
  else
    EXPECT_EQ(Reason(idat_bomb),
              "damaged image (PNG: decoding would take more than 262144 bytes of memory)");
  // The bound is the decoders' own: too small a one refuses any image.
  const images::ScopedDecoderMemoryLimit tiny(1024);
  EXPECT_EQ(Reason(good),
            "damaged image (PNG: decoding would take more than 1024 bytes of memory)");
}

// Grey and colour JPEGs are read as they are; CMYK, YCCK and two-component
// JPEGs are never passed on as they are, and are refused by name where the
// decoder can't read them (libjpeg gives RGB of grey and colour only;
// stb_image reads CMYK and YCCK).
TEST(HostileImages, JpegsOfOtherColourSpacesAreNotPassedOnAsTheyAre) {
  const bool libjpeg = std::string(images::DecoderOf(images::ImageFormat::jpeg)) == "libjpeg-turbo";
  struct Case {
    int components, adobe_transform;
    const char* kind;  // null: read as it is
  };
  for (const Case& c : {Case{1, -1, nullptr}, Case{3, -1, nullptr}, Case{3, 1, nullptr},
                        Case{2, -1, "a JPEG of 2 components"}, Case{4, -1, "a CMYK JPEG"},
                        Case{4, 0, "a CMYK JPEG"}, Case{4, 2, "a YCCK JPEG"}}) {
    const std::vector<std::uint8_t> jpeg = t3ds::JpegBytes(16, 8, c.components, c.adobe_transform);
    SCOPED_TRACE(std::to_string(c.components) + " components");
    EXPECT_EQ(images::ReadImageHeader(jpeg).viewer_ready, c.kind == nullptr);
    if (c.kind == nullptr) {
      const std::vector<std::uint8_t> pixels = PixelsOf(jpeg);
      ASSERT_EQ(pixels.size(), 16u * 8 * 3);
      for (const std::uint8_t value : pixels) EXPECT_NEAR(value, 128, 1);
    } else if (libjpeg) {
      EXPECT_EQ(Reason(jpeg), std::string("not an image that is decoded: ") + c.kind +
                                  ", and only greyscale and colour JPEGs are decoded");
    } else {
      EXPECT_EQ(Reason(jpeg) == "decoded", c.components == 4);
    }
  }
}

// Every build decodes JPEG with one decoder, which rounds a real image's
// pixels (4:2:0, smooth colours) as it does everywhere; a JPEG of more scans
// than an encoder writes, each a pass over the whole image, or a Huffman
// table of more codes than a table holds (which the decoder would build past
// its end), is refused before any is decoded.
TEST(HostileImages, JpegsAreDecodedAlikeAndTheirScansAndTablesBounded) {
  EXPECT_STREQ(images::DecoderOf(images::ImageFormat::jpeg), "stb_image");
  t3ds::RgbImage gradient(24, 16);
  for (int y = 0; y < gradient.height; ++y)
    for (int x = 0; x < gradient.width; ++x)
      gradient.at(x, y) = {static_cast<std::uint8_t>(10 * x), static_cast<std::uint8_t>(15 * y),
                           static_cast<std::uint8_t>(7 * (x + y))};
  const std::vector<std::uint8_t> jpeg = t3ds::JpegFile(gradient);
  const auto scans = [](const std::vector<std::uint8_t>& bytes) {
    return images::SurveyJpeg(bytes, images::kMaxJpegScans).scans;
  };
  EXPECT_EQ(scans(jpeg), 1u);
  EXPECT_FALSE(images::SurveyJpeg(jpeg, images::kMaxJpegScans).oversized_huffman_table);
  EXPECT_EQ(PixelsOf(jpeg).size(), 24u * 16 * 3);
  // The one scan again and again before the end of the image.
  const std::size_t scan = [&] {
    for (std::size_t i = 2; i + 1 < jpeg.size(); ++i)
      if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) return i;
    return jpeg.size();
  }();
  ASSERT_LT(scan, jpeg.size());
  const std::vector<std::uint8_t> scan_bytes(jpeg.begin() + static_cast<std::ptrdiff_t>(scan),
                                             jpeg.end() - 2);
  std::vector<std::uint8_t> many(jpeg.begin(), jpeg.end() - 2);
  for (std::size_t i = 1; i <= images::kMaxJpegScans; ++i)
    many.insert(many.end(), scan_bytes.begin(), scan_bytes.end());
  many.insert(many.end(), {0xFF, 0xD9});
  EXPECT_EQ(scans(many), images::kMaxJpegScans + 1);
  EXPECT_EQ(Reason(many), "damaged image (JPEG: more than 100 scans)");
  // A walk into damaged bytes stops with what it counted.
  EXPECT_EQ(scans(std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + 30)), 0u);

  // A table of 257 codes, in a segment of its own or after a good table in
  // the same segment, or with its counts running past the segment's length.
  const auto with_table = [&](std::vector<std::uint8_t> segment) {
    segment.insert(segment.begin(), jpeg.begin(), jpeg.begin() + 2);
    segment.insert(segment.end(), jpeg.begin() + 2, jpeg.end());
    return segment;
  };
  std::vector<std::uint8_t> counts(16, 0);
  counts[15] = 255;
  counts[14] = 2;  // 257 codes
  std::vector<std::uint8_t> oversized = {0xFF, 0xC4, 0x01, 0x14, 0x10};
  oversized.insert(oversized.end(), counts.begin(), counts.end());
  oversized.resize(oversized.size() + 257, 1);
  std::vector<std::uint8_t> after_good = {0xFF, 0xC4, 0x01, 0x26, 0x00, 0x01};
  after_good.resize(after_good.size() + 15, 0);
  after_good.push_back(7);  // one code of one bit, then the oversized one
  after_good.insert(after_good.end(), oversized.begin() + 4, oversized.end());
  // A segment of 2 bytes: its table's counts are the next segment's bytes.
  const std::vector<std::uint8_t> short_segment = {0xFF, 0xC4, 0x00, 0x04, 0x10, 0x00,
                                                   0xFF, 0xFE, 0x00, 0x04, 0x00, 0x00};
  for (const auto& segment : {oversized, after_good, short_segment}) {
    const std::vector<std::uint8_t> file = with_table(segment);
    EXPECT_TRUE(images::SurveyJpeg(file, images::kMaxJpegScans).oversized_huffman_table);
    EXPECT_EQ(Reason(file), "damaged image (JPEG: a Huffman table of more than 256 codes)");
  }
  // 256 codes is a table the decoder builds.
  counts[14] = 1;
  std::vector<std::uint8_t> full = {0xFF, 0xC4, 0x01, 0x13, 0x10};
  full.insert(full.end(), counts.begin(), counts.end());
  full.resize(full.size() + 256, 1);
  EXPECT_FALSE(images::SurveyJpeg(with_table(full), images::kMaxJpegScans).oversized_huffman_table);
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
  EXPECT_NE(convert.err.find("model.3ds: warning: texture 'wide.bmp' of material 'M1': "),
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
  for (const char* name : {"a.png", "b.png", "c.png"}) {
    const images::DecodedImage picture{8, 8, 3, std::vector<std::uint8_t>(8 * 8 * 3, 99)};
    WriteFile(dir.file(name), images::EncodePng(picture));
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

  // The glTF export counts the pixels it decodes to check them (RGB, as
  // these PNGs are embedded as they are).
  torvik::GltfOptions options;
  options.find_texture = torvik::TexturesBeside(dir.path() / "model.bmf");
  options.texture_budget = 2 * 8 * 8 * 3;
  const torvik::GltfDocument document = torvik::BuildGltf(file, options);
  ASSERT_EQ(document.warnings.size(), 1u);
  EXPECT_EQ(document.warnings[0], "texture 'c.png' of block 2: " + dir.file("c.png") +
                                      ": the model's textures would take more than 384 bytes of "
                                      "memory; the block is left untextured");
  EXPECT_EQ(document.json["images"].size(), 2u);
}

// A few bytes that claim a large image cost its pixels, counted from the
// header before anything is decoded, in the preview and the glTF export
// alike (the web page's module exports through the same code): ten GIFs of
// 35 bytes that claim 512 x 512 screens, and an eleventh that claims
// 8000 x 8000 and holds nothing after its header.
TEST_F(HostileTextures, SmallFilesThatClaimLargeImagesCostTheirPixels) {
  std::vector<std::string> names;
  for (int i = 0; i < 10; ++i) {
    names.push_back("screen" + std::to_string(i) + ".gif");
    WriteFile(dir.file(names.back()),
              t3ds::GifScreenBytes(512, 512, {static_cast<std::uint8_t>(20 * i), 0, 0}));
  }
  std::vector<std::uint8_t> claim = t3ds::GifScreenBytes(8000, 8000, kRed);
  claim.resize(19);  // the header and its colour table
  names.push_back("claim.gif");
  WriteFile(dir.file("claim.gif"), claim);
  WriteModel(names);
  const torvik::BmfFile file = torvik::ReadBmfFile(dir.file("model.bmf"));
  const std::uint64_t pixels = 512 * 512;

  const PreviewTextures preview =
      LoadPreviewTextures(file, torvik::ResolveTextures(names, dir.file("model.bmf"), {}), true,
                          2 * pixels * 3 + pixels);
  EXPECT_EQ(std::count(preview.blocks.begin(), preview.blocks.end(), nullptr), 9);
  torvik::GltfOptions options;
  options.find_texture = torvik::TexturesBeside(dir.path() / "model.bmf");
  options.texture_budget = 2 * pixels * 4 + pixels;  // re-encoded from RGBA
  const torvik::GltfDocument document = torvik::BuildGltf(file, options);
  EXPECT_EQ(document.json["images"].size(), 2u);
  ASSERT_EQ(preview.problems.size(), 9u);
  ASSERT_EQ(document.warnings.size(), 9u);
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_NE(preview.problems[i].find(": the model's textures would take more than"),
              std::string::npos)
        << preview.problems[i];
    EXPECT_NE(document.warnings[i].find(": the model's textures would take more than"),
              std::string::npos)
        << document.warnings[i];
  }
  EXPECT_NE(document.warnings[8].find("claim.gif"), std::string::npos);
}

// The glTF export decodes each image once and embeds what decodes: a
// well-formed PNG or JPEG as it is, a PNG with a damaged ancillary chunk or
// a GIF encoded again as PNG, and it leaves out with a warning what does
// not decode (a CMYK JPEG where libjpeg decodes, a PNG with a bad chunk
// type); viewers then read every image it embeds.
TEST_F(HostileTextures, TheGltfEmbedsOnlyWhatDecodes) {
  const t3ds::RgbImage picture = RedTop(4, 4);
  std::vector<t3ds::PngChunk> chunks = t3ds::PngChunks(picture);
  const std::vector<std::uint8_t> good = t3ds::PngFile(chunks);
  chunks.insert(chunks.begin() + 1, {"tEXt", {'k', 0, 'v'}});
  std::vector<std::uint8_t> quirky = t3ds::PngFile(chunks);
  quirky[8 + 25 + 11] ^= 1;  // tEXt's CRC
  chunks[1].type = "t3Xt";
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
      {"good.png", good},
      {"colour.jpg", t3ds::JpegBytes(8, 8, 3)},
      {"quirky.png", quirky},
      {"frame.gif", t3ds::GifBytes(4, 4, kBlue, kRed, DiagonalPattern)},
      {"cmyk.jpg", t3ds::JpegBytes(8, 8, 4, 0)},
      {"badtype.png", t3ds::PngFile(chunks)}};
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) {
    WriteFile(dir.file(name), bytes);
    names.push_back(name);
  }
  WriteModel(names);
  torvik::GltfOptions options;
  options.find_texture = torvik::TexturesBeside(dir.path() / "model.bmf");
  const torvik::GltfDocument document =
      torvik::BuildGltf(torvik::ReadBmfFile(dir.file("model.bmf")), options);
  const auto embedded = [&](const nlohmann::json& image) {
    const nlohmann::json& view = document.json["bufferViews"][image["bufferView"].get<int>()];
    const auto first = document.binary.begin() + view["byteOffset"].get<std::ptrdiff_t>();
    return std::vector<std::uint8_t>(first, first + view["byteLength"].get<std::ptrdiff_t>());
  };
  const bool libjpeg = std::string(images::DecoderOf(images::ImageFormat::jpeg)) == "libjpeg-turbo";
  const nlohmann::json& json_images = document.json["images"];
  ASSERT_EQ(json_images.size(), libjpeg ? 4u : 5u);
  EXPECT_EQ(json_images[0]["name"], "good.png");
  EXPECT_EQ(embedded(json_images[0]), good);
  EXPECT_EQ(json_images[1]["mimeType"], "image/jpeg");
  EXPECT_EQ(embedded(json_images[1]), files[1].second);
  EXPECT_EQ(json_images[2]["name"], "quirky.png");
  EXPECT_NE(embedded(json_images[2]), quirky);
  EXPECT_EQ(PixelsOf(embedded(json_images[2])), PixelsOf(good));
  EXPECT_EQ(json_images[3]["mimeType"], "image/png");
  if (!libjpeg) {
    EXPECT_EQ(json_images[4]["mimeType"], "image/png");
  }
  for (const auto& image : json_images)
    EXPECT_TRUE(images::ReadImageHeader(embedded(image)).viewer_ready) << image["name"];

  std::vector<std::string> expected = {
      "texture 'badtype.png' of block 5: " + dir.file("badtype.png") +
      ": damaged image (PNG: invalid chunk type 116 51 88 116); the block is left untextured"};
  if (libjpeg)
    expected.insert(expected.begin(), "texture 'cmyk.jpg' of block 4: " + dir.file("cmyk.jpg") +
                                          ": not an image that is decoded: a CMYK JPEG, and "
                                          "only greyscale and colour JPEGs are decoded; the "
                                          "block is left untextured");
  EXPECT_EQ(document.warnings, expected);
}

}  // namespace
