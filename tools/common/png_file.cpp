#include "png_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

struct PngErrorText {
  char text[200] = "";
};

// libpng's error callback must not return: it records the message and jumps
// back to the setjmp in WriteImage.
void RecordError(png_structp png, png_const_charp message) {
  auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
  std::snprintf(error->text, sizeof error->text, "%s", message);
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Only trivially destructible objects live in this frame, since an error
// longjmps back into it.
bool WriteImage(std::FILE* file, const Image& image, PngErrorText& error) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, RecordError, IgnoreWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(error.text, sizeof error.text, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
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

void WritePng(const std::string& path, const Image& image) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) throw std::runtime_error(std::string("can't write: ") + std::strerror(errno));
  PngErrorText error;
  std::string failure;
  if (!WriteImage(file.get(), image, error))
    failure = std::string("libpng: ") + error.text;
  else if (std::fflush(file.get()) != 0 || std::ferror(file.get()))
    failure = std::string("error writing: ") + std::strerror(errno);
  else if (std::fclose(file.release()) != 0)
    failure = std::string("error writing: ") + std::strerror(errno);
  if (failure.empty()) return;
  file.reset();
  std::remove(path.c_str());
  throw std::runtime_error(failure);
}
