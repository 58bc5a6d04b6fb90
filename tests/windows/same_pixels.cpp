// Whether two image files hold the same picture, whatever their encoders:
// the Windows tools write PNG files through stb_image_write, the Linux ones
// through libpng, and their previews must still be the same pixels.
//
//   same_pixels A.png B.png    exits 0 when the pixels are equal, 1 when not
//                              (saying how), 2 when a file can't be decoded
#include <cstdio>
#include <exception>
#include <optional>

#include "images/decode_image.h"
#include "images/image_file.h"

namespace {

std::optional<torvik::images::DecodedImage> Decode(const char* path) {
  try {
    return torvik::images::DecodeImage(torvik::images::ReadImageFile(path), 3);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "same_pixels: %s: %s\n", path, error.what());
    return std::nullopt;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: same_pixels A.png B.png\n");
    return 2;
  }
  const std::optional<torvik::images::DecodedImage> a = Decode(argv[1]), b = Decode(argv[2]);
  if (!a || !b) return 2;
  if (a->width != b->width || a->height != b->height) {
    std::printf("%s is %u x %u pixels, %s %u x %u\n", argv[1], a->width, a->height, argv[2],
                b->width, b->height);
    return 1;
  }
  std::size_t differ = 0;
  for (std::size_t i = 0; i < a->pixels.size(); i += 3)
    differ += a->pixels[i] != b->pixels[i] || a->pixels[i + 1] != b->pixels[i + 1] ||
                      a->pixels[i + 2] != b->pixels[i + 2]
                  ? 1
                  : 0;
  if (differ != 0) std::printf("%zu of %zu pixels differ\n", differ, a->pixels.size() / 3);
  return differ == 0 ? 0 : 1;
}
