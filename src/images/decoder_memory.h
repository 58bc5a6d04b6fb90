// The memory that libpng and stb_image may allocate while they decode one
// image, bounded by what an image of its size needs: data that inflates
// past that (a compressed stream longer than its pixels, a text chunk that
// grows a thousandfold) is refused rather than held.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image_header.h"

namespace torvik::images {

// What a decoder may hold while it decodes an image of this header from
// `file_bytes` bytes: 8 bytes per pixel (the inflated rows of a 16-bit RGBA
// PNG), the file's size, and 16 MiB for tables and buffers.
std::uint64_t DecoderMemoryLimit(const ImageHeader& header, std::size_t file_bytes);

// While one exists, the decoders' memory on this thread is bounded by
// `limit`: libpng's allocations together, and any one block that stb_image
// grows (the inflated data of a PNG).  An allocation that would pass it
// fails (the decoder sees no memory) and is remembered.
class DecoderAllowance {
 public:
  explicit DecoderAllowance(std::uint64_t limit);
  ~DecoderAllowance();
  DecoderAllowance(const DecoderAllowance&) = delete;
  DecoderAllowance& operator=(const DecoderAllowance&) = delete;

  // Some allocation was refused: the decoder either failed or went on
  // without the data it wanted, and its result is not to be trusted.
  bool Refused() const { return refused_; }
  std::uint64_t Limit() const { return limit_; }

 private:
  friend void* DecoderAllocate(std::size_t);
  friend void DecoderFree(void*);
  friend void* DecoderGrow(void*, std::size_t);

  std::uint64_t limit_, held_ = 0;
  bool refused_ = false;
  DecoderAllowance* outer_;
};

// libpng's malloc and free: what it holds at once is counted against the
// allowance of this thread, when there is one.
void* DecoderAllocate(std::size_t size);
void DecoderFree(void* block);

// stb_image's realloc (its blocks are allocated by malloc): a block may grow
// to the allowance's limit at most.  stb_image's other blocks are sized by
// the header's dimensions, and left to malloc, which hands out large zeroed
// blocks without touching them.
void* DecoderGrow(void* block, std::size_t size);

// For tests: while one exists, DecoderMemoryLimit is `limit` on this thread.
class ScopedDecoderMemoryLimit {
 public:
  explicit ScopedDecoderMemoryLimit(std::uint64_t limit);
  ~ScopedDecoderMemoryLimit();
  ScopedDecoderMemoryLimit(const ScopedDecoderMemoryLimit&) = delete;
  ScopedDecoderMemoryLimit& operator=(const ScopedDecoderMemoryLimit&) = delete;

 private:
  std::uint64_t previous_;
};

}  // namespace torvik::images
