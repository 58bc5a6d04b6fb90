// Whether two image files hold the same picture, whatever their encoders:
// the Windows tools write PNG files through stb_image_write, the Linux ones
// through libpng, and their previews must still be the same pixels.
//
//   same_pixels A.png B.png    exits 0 when the pixels are equal, 1 when not
//                              (saying how), 2 when a file can't be decoded
#include <stb_image.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct Decoded {
  int width = 0, height = 0;
  std::unique_ptr<stbi_uc, void (*)(void*)> pixels{nullptr, stbi_image_free};
};

bool Decode(const char* path, Decoded& image) {
  int channels = 0;
  image.pixels.reset(stbi_load(path, &image.width, &image.height, &channels, 3));
  if (!image.pixels) std::fprintf(stderr, "same_pixels: %s: %s\n", path, stbi_failure_reason());
  return image.pixels != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: same_pixels A.png B.png\n");
    return 2;
  }
  Decoded a, b;
  if (!Decode(argv[1], a) || !Decode(argv[2], b)) return 2;
  if (a.width != b.width || a.height != b.height) {
    std::printf("%s is %d x %d pixels, %s %d x %d\n", argv[1], a.width, a.height, argv[2], b.width,
                b.height);
    return 1;
  }
  const std::size_t size = static_cast<std::size_t>(a.width) * a.height * 3;
  std::size_t differ = 0;
  for (std::size_t i = 0; i < size; i += 3)
    differ += std::memcmp(a.pixels.get() + i, b.pixels.get() + i, 3) != 0 ? 1 : 0;
  if (differ != 0) std::printf("%zu of %zu pixels differ\n", differ, size / 3);
  return differ == 0 ? 0 : 1;
}
