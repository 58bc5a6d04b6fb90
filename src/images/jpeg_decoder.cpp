// JPEG through libjpeg-turbo.  Its error handler must not return; here it
// jumps back into ReadJpegPixels, a C-style function that holds no object
// with a destructor, and the error becomes an ImageError outside it.
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <cstring>
#include <string>

#include "decoders.h"

namespace torvik::images {
namespace {

// Progressive images may hold any number of scans, each a pass over the
// whole image: more than a real encoder writes are refused.
constexpr int kMaxScans = 100;
// Corrupt-data warnings that libjpeg recovers from, each a pass over some
// of the data: an image that has this many is refused.
constexpr long kMaxWarnings = 1000;
// The memory libjpeg may take besides the pixels: a progressive image of
// the largest size keeps all its coefficients.
constexpr long kMaxDecoderMemory = 1L << 30;

// Everything the read shares with libjpeg's callbacks; plain data only.
struct JpegRead {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  jpeg_progress_mgr progress;
  DecodeTarget in;
  std::jmp_buf jump;
  char error[JMSG_LENGTH_MAX];
  bool unsupported;  // a kind of JPEG not decoded, rather than a damaged one
};

JpegRead* ReadOf(j_common_ptr info) { return static_cast<JpegRead*>(info->client_data); }

void Fail(JpegRead* read, const char* message) {
  std::strncpy(read->error, message, sizeof read->error - 1);
  read->error[sizeof read->error - 1] = '\0';
  std::longjmp(read->jump, 1);
}

void OnJpegError(j_common_ptr info) {
  JpegRead* read = ReadOf(info);
  char message[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, message);
  Fail(read, message);
}

// Warnings are counted, not printed.
void OnJpegMessage(j_common_ptr info, int level) {
  if (level < 0 && ++info->err->num_warnings > kMaxWarnings)
    Fail(ReadOf(info), "too many corrupt-data warnings");
}

void OnJpegProgress(j_common_ptr info) {
  const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > kMaxScans) Fail(ReadOf(info), "too many scans");
}

// The pixels of the JPEG into read->in.pixels, RGB or RGBA.  Returns false with
// read->error set when libjpeg fails.
bool ReadJpegPixels(JpegRead* read) {
  j_decompress_ptr info = &read->info;
  info->err = jpeg_std_error(&read->errors);
  read->errors.error_exit = OnJpegError;
  read->errors.emit_message = OnJpegMessage;
  read->progress.progress_monitor = OnJpegProgress;
  if (setjmp(read->jump) != 0) {
    jpeg_destroy_decompress(&read->info);
    return false;
  }
  jpeg_create_decompress(info);
  info->client_data = read;
  info->progress = &read->progress;
  info->mem->max_memory_to_use = kMaxDecoderMemory;
  // A size past what unsigned long holds can only be cut short.
  jpeg_mem_src(info, read->in.data, static_cast<unsigned long>(read->in.size));
  jpeg_read_header(info, TRUE);
  if (info->image_width != read->in.width || info->image_height != read->in.height)
    Fail(read, "the size differs from the header's");
  // libjpeg gives RGB of grey and colour images only.
  if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK ||
      (info->num_components != 1 && info->num_components != 3)) {
    char kind[48];
    if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK)
      std::snprintf(kind, sizeof kind, "a %s JPEG",
                    info->jpeg_color_space == JCS_CMYK ? "CMYK" : "YCCK");
    else
      std::snprintf(kind, sizeof kind, "a JPEG of %d components", info->num_components);
    read->unsupported = true;
    Fail(read, kind);
  }
  info->out_color_space = read->in.channels == 4 ? JCS_EXT_RGBA : JCS_RGB;
  jpeg_start_decompress(info);
  if (info->output_width != read->in.width || info->output_height != read->in.height ||
      info->output_components != read->in.channels)
    Fail(read, "unexpected output layout");
  const std::size_t stride =
      std::size_t{read->in.width} * static_cast<std::size_t>(read->in.channels);
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = read->in.pixels + info->output_scanline * stride;
    if (jpeg_read_scanlines(info, &row, 1) != 1) Fail(read, "the file ends inside the image");
  }
  jpeg_abort_decompress(info);
  jpeg_destroy_decompress(info);
  return true;
}

}  // namespace

void DecodeJpeg(const DecodeTarget& target) {
  JpegRead read{};
  read.in = target;
  if (ReadJpegPixels(&read)) return;
  if (read.unsupported)
    throw ImageError(std::string("not an image that is decoded: ") + read.error +
                     ", and only greyscale and colour JPEGs are decoded");
  ThrowDamaged(ImageFormat::jpeg, read.error);
}

}  // namespace torvik::images
