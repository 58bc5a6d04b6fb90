// PNG through libpng.  libpng reports errors by calling a function that
// must not return; here it jumps back into ReadPngPixels (from it or from
// the callbacks it runs), a C-style function that holds no object with a
// destructor, and the error becomes an ImageError outside it.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "decoder_memory.h"
#include "decoders.h"

namespace torvik::images {
namespace {

// Adam7: where each pass's rows and columns start, and their steps.
constexpr int kRowStart[7] = {0, 0, 4, 0, 2, 0, 1}, kRowStep[7] = {8, 8, 8, 4, 4, 2, 2};
constexpr int kColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};

// Everything the read shares with libpng's callbacks; plain data only.
struct PngRead {
  DecodeTarget in;
  png_structp png;
  png_infop info;
  std::jmp_buf jump;
  char error[160];
  bool interlaced;
  std::uint64_t rows_expected, rows_received;  // rows of image data, over all passes
  bool ended;                                  // IEND was read
};

PngRead* ReadOf(png_structp png) { return static_cast<PngRead*>(png_get_progressive_ptr(png)); }

void OnPngError(png_structp png, png_const_charp message) {
  auto* read = static_cast<PngRead*>(png_get_error_ptr(png));
  std::strncpy(read->error, message != nullptr ? message : "unknown error", sizeof read->error - 1);
  read->error[sizeof read->error - 1] = '\0';
  std::longjmp(read->jump, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

png_voidp Allocate(png_structp, png_alloc_size_t size) { return DecoderAllocate(size); }

void Free(png_structp, png_voidp block) { DecoderFree(block); }

// Pass `pass` holds the row: image data for it, rather than a copy of an
// earlier pass's row that libpng hands on for display.
bool RowOfPass(const PngRead& read, std::uint32_t row, int pass) {
  if (!read.interlaced) return true;
  return pass >= 0 && pass < 7 && read.in.width > std::uint32_t(kColumnStart[pass]) &&
         row % kRowStep[pass] == std::uint32_t(kRowStart[pass]);
}

// The transformations to 8-bit RGB or RGBA, once the header is read.
void OnInfo(png_structp png, png_infop info) {
  PngRead* read = ReadOf(png);
  if (png_get_image_width(png, info) != read->in.width ||
      png_get_image_height(png, info) != read->in.height)
    png_error(png, "the size differs from the header's");
  const int colour = png_get_color_type(png, info);
  png_set_strip_16(png);
  png_set_packing(png);
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
  }
  if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(png);
  if (read->in.channels == 4)
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  else
    png_set_strip_alpha(png);
  read->interlaced = png_set_interlace_handling(png) > 1;
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) !=
      std::size_t{read->in.width} * static_cast<std::size_t>(read->in.channels))
    png_error(png, "unexpected row layout");
  read->rows_expected = read->in.height;
  if (read->interlaced) {
    read->rows_expected = 0;
    for (int pass = 0; pass < 7; ++pass)
      if (read->in.width > std::uint32_t(kColumnStart[pass]) &&
          read->in.height > std::uint32_t(kRowStart[pass]))
        read->rows_expected +=
            (read->in.height - kRowStart[pass] + kRowStep[pass] - 1) / kRowStep[pass];
  }
}

void OnRow(png_structp png, png_bytep new_row, png_uint_32 row, int pass) {
  PngRead* read = ReadOf(png);
  if (row >= read->in.height) png_error(png, "a row past the image");
  const std::size_t stride =
      std::size_t{read->in.width} * static_cast<std::size_t>(read->in.channels);
  png_progressive_combine_row(png, read->in.pixels + row * stride, new_row);
  if (new_row != nullptr && RowOfPass(*read, row, pass)) ++read->rows_received;
}

void OnEnd(png_structp png, png_infop) { ReadOf(png)->ended = true; }

// The rows of the PNG into read->in.pixels, 8 bits per channel, RGB or RGBA.
// Returns false with read->error set when libpng fails.  libpng reads the
// file as data that arrives (its progressive reader), which stops
// inflating the image data once the last row is complete, where reading it
// as a file would inflate whatever compressed data follows to its end.
bool ReadPngPixels(PngRead* read) {
  read->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, read, OnPngError, OnPngWarning,
                                       nullptr, Allocate, Free);
  if (read->png != nullptr) read->info = png_create_info_struct(read->png);
  if (read->info == nullptr) {
    png_destroy_read_struct(&read->png, nullptr, nullptr);
    std::strcpy(read->error, "out of memory");
    return false;
  }
  if (setjmp(read->jump) != 0) {
    png_destroy_read_struct(&read->png, &read->info, nullptr);
    return false;
  }
  png_structp png = read->png;
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_cache_max(png, 128);
  png_set_chunk_malloc_max(png, 8u << 20);
  // Only IHDR, PLTE, tRNS, IDAT and IEND count: every other chunk (text,
  // profiles, metadata) is skipped unread rather than inflated and kept.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_progressive_read_fn(png, read, OnInfo, OnRow, OnEnd);
  // The whole file at once: no chunk is copied to wait for the rest of it.
  png_process_data(png, read->info, const_cast<png_bytep>(read->in.data), read->in.size);
  if (!read->ended || read->rows_received != read->rows_expected)
    png_error(png, "the image data ends before the image does");
  png_destroy_read_struct(&read->png, &read->info, nullptr);
  return true;
}

}  // namespace

void DecodePng(const DecodeTarget& target) {
  PngRead read{};
  read.in = target;
  if (!ReadPngPixels(&read)) ThrowDamaged(ImageFormat::png, read.error);
}

}  // namespace torvik::images
