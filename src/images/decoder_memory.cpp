#include "decoder_memory.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace torvik::images {
namespace {

thread_local DecoderAllowance* current_allowance = nullptr;
thread_local std::uint64_t limit_for_tests = 0;  // 0: none

// Each block starts with its size, in a header that keeps the block's
// alignment.
constexpr std::size_t kHeader = alignof(std::max_align_t);
static_assert(kHeader >= sizeof(std::size_t));

std::size_t SizeOf(void* block) {
  std::size_t size;
  std::memcpy(&size, static_cast<char*>(block) - kHeader, sizeof size);
  return size;
}

void* Stamped(void* raw, std::size_t size) {
  std::memcpy(raw, &size, sizeof size);
  return static_cast<char*>(raw) + kHeader;
}

}  // namespace

std::uint64_t DecoderMemoryLimit(const ImageHeader& header, std::size_t file_bytes) {
  if (limit_for_tests != 0) return limit_for_tests;
  return 8 * header.Pixels() + file_bytes + (std::uint64_t{16} << 20);
}

DecoderAllowance::DecoderAllowance(std::uint64_t limit) : limit_(limit), outer_(current_allowance) {
  current_allowance = this;
}

DecoderAllowance::~DecoderAllowance() { current_allowance = outer_; }

void* DecoderAllocate(std::size_t size) {
  DecoderAllowance* allowance = current_allowance;
  if (allowance != nullptr && size > allowance->limit_ - allowance->held_) {
    allowance->refused_ = true;
    return nullptr;
  }
  void* raw = size <= SIZE_MAX - kHeader ? std::malloc(size + kHeader) : nullptr;
  if (raw == nullptr) {
    if (allowance != nullptr) allowance->refused_ = true;
    return nullptr;
  }
  if (allowance != nullptr) allowance->held_ += size;
  return Stamped(raw, size);
}

void DecoderFree(void* block) {
  if (block == nullptr) return;
  if (DecoderAllowance* allowance = current_allowance)
    allowance->held_ -= std::min<std::uint64_t>(allowance->held_, SizeOf(block));
  std::free(static_cast<char*>(block) - kHeader);
}

void* DecoderGrow(void* block, std::size_t size) {
  DecoderAllowance* allowance = current_allowance;
  if (allowance != nullptr && size > allowance->limit_) {
    allowance->refused_ = true;
    return nullptr;
  }
  void* grown = std::realloc(block, size);
  if (grown == nullptr && allowance != nullptr) allowance->refused_ = true;
  return grown;
}

ScopedDecoderMemoryLimit::ScopedDecoderMemoryLimit(std::uint64_t limit)
    : previous_(limit_for_tests) {
  limit_for_tests = limit;
}

ScopedDecoderMemoryLimit::~ScopedDecoderMemoryLimit() { limit_for_tests = previous_; }

}  // namespace torvik::images
