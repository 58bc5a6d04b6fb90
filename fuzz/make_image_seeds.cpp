// Writes the image fuzzer's seed corpus: small images of every format it
// decodes, made here.
//   make_image_seeds DIR
#include <cstdio>
#include <string>
#include <vector>

#include "image_files.h"
#include "images/encode_png.h"
#include "png_image.h"
#include "threeds_builder.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace {

void Append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  out->insert(out->end(), static_cast<std::uint8_t*>(data),
              static_cast<std::uint8_t*>(data) + size);
}

bool Checker(int x, int y) { return (x + y) % 2 == 0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_image_seeds DIR\n");
    return 2;
  }
  t3ds::RgbImage image(5, 3);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      image.at(x, y) = {static_cast<std::uint8_t>(x * 50), static_cast<std::uint8_t>(y * 80), 200};
  std::vector<std::uint8_t> rgba;
  for (const t3ds::Rgb& pixel : image.pixels)
    rgba.insert(rgba.end(), {pixel[0], pixel[1], pixel[2], 128});

  torvik::images::DecodedImage decoded{5, 3, 4, rgba};
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> seeds = {
      {"rgba.png", torvik::images::EncodePng(decoded)},
      {"rgb.tga", t3ds::TgaBytes(image)},
      {"bottom_up.bmp", t3ds::BmpBytes(image)},
      {"top_down.bmp", t3ds::BmpBytes(image, true)},
      {"checker.gif", t3ds::GifBytes(4, 4, {0, 0, 0}, {255, 255, 255}, Checker)},
  };
  // Files that take the checks' edges: JPEGs of other colour spaces, a GIF
  // that claims a large screen, PNGs with text chunks, a damaged ancillary
  // chunk and a bad chunk type.
  seeds.emplace_back("cmyk.jpg", t3ds::JpegBytes(16, 8, 4, 0));
  seeds.emplace_back("ycck.jpg", t3ds::JpegBytes(8, 8, 4, 2));
  seeds.emplace_back("two.jpg", t3ds::JpegBytes(8, 8, 2));
  seeds.emplace_back("screen.gif", t3ds::GifScreenBytes(8000, 8000, {200, 0, 0}));
  std::vector<t3ds::PngChunk> chunks = t3ds::PngChunks(image);
  chunks.insert(chunks.begin() + 1, {{"tEXt", {'k', 0, 'v'}}, {"iTXt", {'k', 0, 0, 0, 0, 0, 'v'}}});
  seeds.emplace_back("text.png", t3ds::PngFile(chunks));
  std::vector<std::uint8_t> quirky = seeds.back().second;
  quirky[8 + 25 + 11] ^= 1;  // tEXt's CRC
  seeds.emplace_back("quirky.png", quirky);
  chunks[1].type = "t3Xt";
  seeds.emplace_back("bad_type.png", t3ds::PngFile(chunks));
  std::vector<std::uint8_t> bytes;
  stbi_write_jpg_to_func(Append, &bytes, 5, 3, 4, rgba.data(), 90);
  seeds.emplace_back("rgb.jpg", bytes);
  bytes.clear();
  stbi_write_tga_to_func(Append, &bytes, 5, 3, 4, rgba.data());
  seeds.emplace_back("rle_rgba.tga", bytes);
  for (const auto& [name, seed] : seeds)
    if (!t3ds::SaveFile(std::string(argv[1]) + "/" + name, seed)) return 1;
  return 0;
}
