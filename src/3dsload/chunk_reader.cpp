#include "chunk_reader.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

#include "base/little_endian.h"
#include "torvik32c/errors.h"

namespace torvik {

namespace {

constexpr std::int64_t kMaxPosition = std::numeric_limits<std::int32_t>::max();
constexpr std::uint64_t kReadPasses = 8;
constexpr std::uint64_t kReadSlack = 1 << 20;

}  // namespace

std::string HexId(uword id) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(id));
  return text;
}

ChunkReader::ChunkReader(std::span<const byte> bytes, const ReadOptions& options)
    : bytes_(bytes),
      options_(options),
      size_(std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(kMaxPosition))),
      read_budget_(kReadPasses * size_ + kReadSlack),
      extras_budget_(kReadPasses * size_ + kReadSlack),
      finisher_(options.threads, options.keep_file_winding, options_.names) {}

void ChunkReader::Fail(const std::string& message, std::int64_t at) const {
  FailInChunk(message, chunk_.id, chunk_.start, at);
}

std::string ChunkReader::Context(const char* what) const {
  std::string text = what;
  if (mesh_name_ != nullptr) text += " of mesh '" + ShownName(*mesh_name_, options_.names) + "'";
  return text;
}

const byte* ChunkReader::dread(std::size_t len, const char* what) {
  const std::size_t pos = static_cast<std::size_t>(pos_);
  if (pos > size_ || len > size_ - pos) {
    const std::size_t available = pos > size_ ? 0 : size_ - pos;
    Fail(Context(what) + " at byte " + std::to_string(pos) + " needs " + std::to_string(len) +
             " bytes, but the file ends " + std::to_string(len - available) + " bytes short",
         static_cast<std::int64_t>(pos));
  }
  if (len > read_budget_)
    Fail("chunks overlap so much that reading would pass over the file more than " +
             std::to_string(kReadPasses) + " times",
         pos_);
  read_budget_ -= len;
  pos_ += static_cast<std::int32_t>(len);
  return bytes_.data() + pos;
}

std::uint16_t ChunkReader::read_u16(const char* what) { return load_u16(dread(2, what)); }

float ChunkReader::read_f32(const char* what) { return load_f32(dread(4, what)); }

void ChunkReader::need(std::size_t count, std::size_t record_size, const char* what) {
  // count and record_size are small (count is 16-bit), so the product fits.
  const std::size_t len = count * record_size;
  const std::size_t pos = static_cast<std::size_t>(pos_);
  const std::size_t available = pos > size_ ? 0 : size_ - pos;
  if (len > available)
    Fail(Context(what) + " of " + std::to_string(count) + " entries at byte " +
             std::to_string(pos) + " needs " + std::to_string(len) + " bytes, but the file ends " +
             std::to_string(len - available) + " bytes short",
         static_cast<std::int64_t>(pos));
}

std::string ChunkReader::ReadName(const char* what) {
  const std::size_t pos = static_cast<std::size_t>(pos_);
  const std::size_t available = pos > size_ ? 0 : size_ - pos;
  const byte* start = bytes_.data() + pos;
  const void* nul = available == 0 ? nullptr : std::memchr(start, 0, available);
  if (nul == nullptr)
    Fail(Context(what) + " at byte " + std::to_string(pos) +
             " has no terminating zero before the end of the file",
         static_cast<std::int64_t>(pos));
  const std::size_t length = static_cast<std::size_t>(static_cast<const byte*>(nul) - start);
  dread(length + 1, what);
  // A longer name keeps its first characters; the walk resumes after its zero.
  return std::string(reinterpret_cast<const char*>(start), std::min(length, kMaxNameLength));
}

ChunkHeader ChunkReader::ReadChunkHeader() {
  const std::int32_t start = dgetpos();
  const byte* header = dread(6, "chunk header");
  ChunkHeader chunk{load_u16(header), start, 0};
  const std::int32_t length = static_cast<std::int32_t>(load_u32(header + 2));
  if (length < 6) {
    chunk_ = chunk;
    Fail("chunk " + HexId(chunk.id) + " at byte " + std::to_string(start) + " has length " +
             std::to_string(length) + ", less than its own 6-byte header",
         start);
  }
  const std::int64_t end = static_cast<std::int64_t>(start) + length;
  if (end > kMaxPosition) {
    chunk_ = chunk;
    Fail("chunk " + HexId(chunk.id) + " at byte " + std::to_string(start) + " has length " +
             std::to_string(length) + ", which ends it beyond byte 2147483647",
         start);
  }
  chunk.end = static_cast<std::int32_t>(end);
  return chunk;
}

}  // namespace torvik
