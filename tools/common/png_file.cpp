#include "png_file.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "torvik32c/bmf.h"

namespace {

struct PngErrorText {
  char text[200] = "";
};

struct PngOutput {
  PngErrorText error;
  std::vector<torvik::byte> bytes;
};

// libpng's error callback must not return: it records the message and jumps
// back to the setjmp in EncodeImage.
void RecordError(png_structp png, png_const_charp message) {
  auto* output = static_cast<PngOutput*>(png_get_error_ptr(png));
  std::snprintf(output->error.text, sizeof output->error.text, "%s", message);
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

void Append(png_structp png, png_bytep data, png_size_t size) {
  auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
  output->bytes.insert(output->bytes.end(), data, data + size);
}

void NoFlush(png_structp) {}

// Only trivially destructible objects live in this frame, since an error
// longjmps back into it.
bool EncodeImage(const Image& image, PngOutput& output) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &output, RecordError, IgnoreWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(output.error.text, sizeof output.error.text, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &output, Append, NoFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  static_assert(sizeof(Rgb8) == 3, "pixels are packed RGB");
  for (int y = 0; y < image.height; ++y)
    png_write_row(png, reinterpret_cast<png_const_bytep>(
                           image.pixels.data() + static_cast<std::size_t>(y) * image.width));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool PngAvailable() { return true; }

void WritePng(const std::string& path, const Image& image) {
  PngOutput output;
  if (!EncodeImage(image, output))
    throw std::runtime_error(std::string("libpng: ") + output.error.text);
  // Through a temporary file renamed into place, like the BMF.
  torvik::WriteFileReplacing(path, output.bytes);
}
