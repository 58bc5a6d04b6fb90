// A bounds-checked cursor over one chunk's body, for the parts of a file that
// are read aside from the chunk walk (the keyframer, cameras and lights): a
// read past the chunk throws ChunkBodyFault, which leaves that part out with
// a warning rather than failing the file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>

#include "base/little_endian.h"
#include "chunk_reader.h"

namespace torvik {

struct ChunkBodyFault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ChunkBody {
 public:
  ChunkBody(std::span<const byte> file, std::size_t pos, std::size_t end, const char* what)
      : file_(file), pos_(pos), end_(end), what_(what) {}

  bool more() const { return pos_ < end_; }
  std::size_t pos() const { return pos_; }
  std::size_t remaining() const { return end_ - pos_; }

  const byte* take(std::size_t len) {
    if (len > end_ - pos_)
      throw ChunkBodyFault(std::string(what_) + " at byte " + std::to_string(pos_) + " needs " +
                           std::to_string(len) + " bytes, but its chunk ends " +
                           std::to_string(len - (end_ - pos_)) + " bytes short");
    const byte* data = file_.data() + pos_;
    pos_ += len;
    return data;
  }
  uword u16() { return load_u16(take(2)); }
  std::uint32_t u32() { return load_u32(take(4)); }
  float32 f32() { return load_f32(take(4)); }
  void vec3(float32 (&v)[3]) {
    const byte* data = take(12);
    for (int i = 0; i < 3; ++i) v[i] = load_f32(data + 4 * i);
  }
  std::string name() {
    const void* nul = std::memchr(file_.data() + pos_, 0, end_ - pos_);
    if (nul == nullptr)
      throw ChunkBodyFault(std::string(what_) + " at byte " + std::to_string(pos_) +
                           " has a name without its terminating zero");
    const std::size_t length =
        static_cast<std::size_t>(static_cast<const byte*>(nul) - (file_.data() + pos_));
    const char* start = reinterpret_cast<const char*>(take(length + 1));
    // Object names are kept to their first characters; node names match them.
    return std::string(start, std::min(length, kMaxNameLength));
  }

  // The next sub-chunk, which must end within this body.
  ChunkBody sub(uword& id, const char* what) {
    const std::size_t start = pos_;
    id = u16();
    const std::uint32_t length = u32();
    if (length < 6 || length > end_ - start)
      throw ChunkBodyFault("chunk " + HexId(id) + " at byte " + std::to_string(start) +
                           " has length " + std::to_string(length) + ", which " +
                           (length < 6 ? "is less than its own header"
                                       : "runs past the end of the chunk that holds it"));
    pos_ = start + length;
    return ChunkBody(file_, start + 6, start + length, what);
  }

 private:
  std::span<const byte> file_;
  std::size_t pos_, end_;
  const char* what_;
};

}  // namespace torvik
