// PNG through libpng.  libpng reports errors by calling a function that
// must not return; here it jumps back into ReadPngPixels, a C-style
// function that holds no object with a destructor, and the error becomes an
// ImageError outside it.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "decoder_memory.h"
#include "decoders.h"

namespace torvik::images {
namespace {

// Everything the read shares with libpng's callbacks; plain data only.
struct PngRead {
  DecodeTarget in;
  std::size_t offset;
  png_structp png;
  png_infop info;
  std::jmp_buf jump;
  char error[160];
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* read = static_cast<PngRead*>(png_get_error_ptr(png));
  std::strncpy(read->error, message != nullptr ? message : "unknown error", sizeof read->error - 1);
  read->error[sizeof read->error - 1] = '\0';
  std::longjmp(read->jump, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

png_voidp Allocate(png_structp, png_alloc_size_t size) { return DecoderAllocate(size); }

void Free(png_structp, png_voidp block) { DecoderFree(block); }

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* read = static_cast<PngRead*>(png_get_io_ptr(png));
  if (count > read->in.size - read->offset) png_error(png, "the file ends inside the image");
  std::memcpy(out, read->in.data + read->offset, count);
  read->offset += count;
}

// The rows of the PNG into read->in.pixels, 8 bits per channel, RGB or RGBA.
// Returns false with read->error set when libpng fails.
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
  png_infop info = read->info;
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_cache_max(png, 128);
  png_set_chunk_malloc_max(png, 8u << 20);
  // Only IHDR, PLTE, tRNS, IDAT and IEND count: every other chunk (text,
  // profiles, metadata) is skipped unread rather than inflated and kept.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_read_fn(png, read, ReadFromMemory);
  png_read_info(png, info);
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
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::size_t stride =
      std::size_t{read->in.width} * static_cast<std::size_t>(read->in.channels);
  if (png_get_rowbytes(png, info) != stride) png_error(png, "unexpected row layout");
  for (int pass = 0; pass < passes; ++pass)
    for (std::uint32_t y = 0; y < read->in.height; ++y)
      png_read_row(png, read->in.pixels + y * stride, nullptr);
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
