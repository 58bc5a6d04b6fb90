// The BMF reader: a bounds-checked walk over the blocks.  Every count is
// checked against the bytes left before anything is allocated for it.
#include "torvik32c/bmf_reader.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "base/little_endian.h"
#include "torvik32c/file_bytes.h"

namespace torvik {

namespace {

class BmfCursor {
 public:
  explicit BmfCursor(std::span<const byte> bytes) : bytes_(bytes) {}

  // The next `size` bytes, or BmfFormatError naming `what`.
  const byte* Take(std::size_t size, const std::string& what) {
    if (size > bytes_.size() - pos_) {
      throw BmfFormatError("the file ends at byte " + std::to_string(bytes_.size()) + " inside " +
                               what + ", which needs " + std::to_string(size) +
                               " bytes from byte " + std::to_string(pos_),
                           static_cast<std::int64_t>(pos_));
    }
    const byte* p = bytes_.data() + pos_;
    pos_ += size;
    return p;
  }
  std::uint16_t U16(const std::string& what) { return load_u16(Take(2, what)); }
  std::size_t Left() const { return bytes_.size() - pos_; }

 private:
  std::span<const byte> bytes_;
  std::size_t pos_ = 0;
};

BMF_RGBCOLOR LoadColour(const byte* p) {
  return BMF_RGBCOLOR{load_f32(p), load_f32(p + 4), load_f32(p + 8), load_f32(p + 12)};
}

BmfBlock ReadBlock(BmfCursor& in, std::size_t index) {
  const std::string where = "block " + std::to_string(index) + "'s ";
  BmfBlock block;
  const std::size_t length = in.U16(where + "texture-name length");
  const byte* name = in.Take(length, where + "texture name");
  block.name_field.assign(reinterpret_cast<const char*>(name), length);

  const byte* colours = in.Take(48, where + "colours");
  block.ambient = LoadColour(colours);
  block.diffuse = LoadColour(colours + 16);
  block.specular = LoadColour(colours + 32);

  const std::size_t vertex_count = in.U16(where + "vertex count");
  const byte* v = in.Take(vertex_count * 32, where + "vertex table");
  block.vertices.resize(vertex_count);
  for (BMF_UNVERTEX& vertex : block.vertices) {
    vertex = BMF_UNVERTEX{load_f32(v),      load_f32(v + 4),  load_f32(v + 8),  load_f32(v + 12),
                          load_f32(v + 16), load_f32(v + 20), load_f32(v + 24), load_f32(v + 28)};
    v += 32;
  }

  const std::size_t triangle_count = in.U16(where + "triangle count");
  const byte* t = in.Take(triangle_count * 6, where + "triangle table");
  block.triangles.resize(triangle_count);
  for (BMF_SURFACE& triangle : block.triangles) {
    triangle = BMF_SURFACE{load_u16(t), load_u16(t + 2), load_u16(t + 4)};
    t += 6;
  }
  return block;
}

}  // namespace

std::string BmfBlock::TextureName() const { return name_field.substr(0, name_field.find('\0')); }

BmfFile ReadBmf(std::span<const byte> bytes) {
  BmfCursor in(bytes);
  BmfFile file;
  const std::size_t count = in.U16("the block count");
  file.strip_flag = in.U16("the strip flag");
  // The smallest block is 54 bytes, so a damaged count can't claim much memory.
  file.blocks.reserve(std::min(count, in.Left() / 54));
  for (std::size_t b = 0; b < count; ++b) file.blocks.push_back(ReadBlock(in, b));
  file.trailing_bytes = in.Left();
  return file;
}

BmfFile ReadBmfFile(const std::string& path) {
  std::uint64_t rest = 0;
  BmfFile file = ReadBmf(ReadFileBytes(path, nullptr, BmfStreamContent(), &rest));
  file.trailing_bytes += static_cast<std::size_t>(rest);
  return file;
}

StreamContent BmfStreamContent() {
  // The walk goes from block to block by their counts alone, so it tells
  // where the blocks end as soon as the last block's counts are in.
  struct Walk {
    std::uint64_t next = 4;  // where the next block starts
    std::size_t blocks = 0;  // blocks still to walk over
    bool started = false;

    std::optional<StreamEnd> operator()(std::span<const byte> read) {
      const auto count_at = [&](std::uint64_t at) -> std::optional<std::uint64_t> {
        if (read.size() < at + 2) return std::nullopt;
        return load_u16(read.data() + at);
      };
      if (!started) {
        if (read.size() < 4) return std::nullopt;
        // A stream whose strip flag is not 0 is no BMF: it ends at its header.
        if (load_u16(read.data() + 2) != 0) return StreamEnd{.length = 4};
        blocks = load_u16(read.data());
        started = true;
      }
      for (; blocks > 0; --blocks) {
        std::uint64_t at = next;
        const std::optional<std::uint64_t> name = count_at(at);
        if (!name) return std::nullopt;
        at += 2 + *name + 48;
        const std::optional<std::uint64_t> vertices = count_at(at);
        if (!vertices) return std::nullopt;
        at += 2 + 32 * *vertices;
        const std::optional<std::uint64_t> triangles = count_at(at);
        if (!triangles) return std::nullopt;
        next = at + 2 + 6 * *triangles;
      }
      // Larger than the most a stream is read to: no further than that.
      const std::size_t length = static_cast<std::size_t>(
          std::min<std::uint64_t>(next, std::numeric_limits<std::size_t>::max()));
      return StreamEnd{.length = length, .count_rest = true};
    }
  };
  return Walk{};
}

BmfBlockLayout::BmfBlockLayout(const BmfBlock& block) {
  colours = name + block.name_field.size();
  vertex_count = colours + 48;
  vertices = vertex_count + 2;
  triangle_count = vertices + 32 * block.vertices.size();
  triangles = triangle_count + 2;
  size = triangles + 6 * block.triangles.size();
}

}  // namespace torvik
