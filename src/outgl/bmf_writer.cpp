// The BMF writer.  Each material's triangles index the model's global vertex
// table; the writer crunches them into blocks with a vertex table of their
// own, numbered in first-use order, and 16-bit indices.  A material too
// large for one block is split into several consecutive ones.  Every corner
// names a vertex of the model: the model checks that as triangles come in.
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <span>
#include <string>

#include "base/large_tables.h"
#include "output_file.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"

namespace torvik {

namespace {

struct Block {
  std::size_t material;
  std::size_t first, last;  // triangles [first, last) of the material
  std::size_t vertices;
};

// Which block a model vertex was last placed in, and where.  A new block
// takes a new generation, so nothing is cleared between blocks.
class TranslateTable {
 public:
  explicit TranslateTable(std::size_t vertices) {
    try {
      ResizeLarge(generation_, vertices);
      ResizeLarge(slot_, vertices);
    } catch (const std::bad_alloc&) {
      throw WriterOutOfMemory("Error allocating memory for translate");
    }
  }

  void NextBlock() { ++current_; }
  bool Placed(dword w) const { return generation_[w] == current_; }
  void Place(dword w, uword slot) {
    generation_[w] = current_;
    slot_[w] = slot;
  }
  uword Slot(dword w) const { return slot_[w]; }

 private:
  std::vector<std::uint32_t> generation_;
  std::vector<uword> slot_;
  std::uint32_t current_ = 0;
};

// Corners of `s` that the current block does not hold yet.
std::size_t NewCorners(const SURFACE& s, const TranslateTable& table) {
  std::size_t count = table.Placed(s.p0) ? 0 : 1;
  if (!table.Placed(s.p1) && s.p1 != s.p0) ++count;
  if (!table.Placed(s.p2) && s.p2 != s.p0 && s.p2 != s.p1) ++count;
  return count;
}

std::vector<Block> PlanBlocks(const Model& model, TranslateTable& table) {
  std::vector<Block> blocks;
  for (std::size_t m = 0; m < model.PolyList().size(); ++m) {
    const std::vector<SURFACE>& triangles = model.PolyList()[m].TriangleIndexList;
    Block block{m, 0, 0, 0};
    table.NextBlock();
    for (std::size_t t = 0; t < triangles.size(); ++t) {
      const SURFACE& s = triangles[t];
      std::size_t fresh = NewCorners(s, table);
      // The triangle that would take the block past a 16-bit count starts
      // the next block.
      if (t - block.first + 1 > kBmfMaxCount || block.vertices + fresh > kBmfMaxCount) {
        block.last = t;
        blocks.push_back(block);
        block = Block{m, t, t, 0};
        table.NextBlock();
        fresh = NewCorners(s, table);
      }
      table.Place(s.p0, 0);
      table.Place(s.p1, 0);
      table.Place(s.p2, 0);
      block.vertices += fresh;
    }
    block.last = triangles.size();
    blocks.push_back(block);
  }
  if (blocks.size() > kBmfMaxCount)
    throw ModelTooLarge("the model needs " + std::to_string(blocks.size()) +
                        " blocks, more than the 65535 a BMF file holds");
  return blocks;
}

void Store16(byte* p, std::size_t value) {
  p[0] = static_cast<byte>(value & 0xFF);
  p[1] = static_cast<byte>((value >> 8) & 0xFF);
}

void Store32(byte* p, float32 value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  p[0] = static_cast<byte>(bits);
  p[1] = static_cast<byte>(bits >> 8);
  p[2] = static_cast<byte>(bits >> 16);
  p[3] = static_cast<byte>(bits >> 24);
}

// Little-endian output through one buffer, handed to `flush` when full and
// at the end.
class Encoder {
 public:
  explicit Encoder(std::function<void(const byte*, std::size_t)> flush, std::size_t capacity)
      : flush_(std::move(flush)),
        buffer_(std::make_unique_for_overwrite<byte[]>(capacity)),
        capacity_(capacity) {}

  // Room for `size` more bytes, written by the caller.
  byte* Grow(std::size_t size) {
    if (size > capacity_ - used_) {
      Flush();
      if (size > capacity_) {
        buffer_ = std::make_unique_for_overwrite<byte[]>(size);
        capacity_ = size;
      }
    }
    byte* at = buffer_.get() + used_;
    used_ += size;
    return at;
  }
  void u16(std::size_t value) { Store16(Grow(2), value); }
  void raw(const void* data, std::size_t size) {
    if (size > 0) std::memcpy(Grow(size), data, size);
  }
  void color(const RGB& c) {
    byte* p = Grow(16);
    Store32(p, c.red);
    Store32(p + 4, c.green);
    Store32(p + 8, c.blue);
    Store32(p + 12, c.alpha);
  }
  void Flush() {
    if (used_ > 0) flush_(buffer_.get(), used_);
    total_ += used_;
    used_ = 0;
  }
  std::size_t Total() const { return total_ + used_; }

 private:
  std::function<void(const byte*, std::size_t)> flush_;
  // Not zero-filled: only what the writer stores is ever handed on.
  std::unique_ptr<byte[]> buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  std::size_t total_ = 0;
};

// Gives the block's triangles a vertex table of their own, numbered in
// first-use order.
void CrunchBlock(const Model& model, const Block& block, TranslateTable& table,
                 std::vector<BMF_UNVERTEX>& CrunchedVertex,
                 std::vector<BMF_SURFACE>& CrunchedIndex) {
  const std::vector<SURFACE>& triangles = model.PolyList()[block.material].TriangleIndexList;
  CrunchedVertex.clear();
  CrunchedIndex.clear();
  table.NextBlock();
  for (std::size_t t = block.first; t < block.last; ++t) {
    const SURFACE& s = triangles[t];
    uword corners[3];
    const dword model_corners[3] = {s.p0, s.p1, s.p2};
    for (int c = 0; c < 3; ++c) {
      const dword w = model_corners[c];
      if (!table.Placed(w)) {
        const VERTEX& v = model.VertexList()[w];
        table.Place(w, static_cast<uword>(CrunchedVertex.size()));
        CrunchedVertex.push_back(BMF_UNVERTEX{v.u, v.v, v.nx, v.ny, v.nz, v.x, v.y, v.z});
      }
      corners[c] = table.Slot(w);
    }
    CrunchedIndex.push_back(BMF_SURFACE{corners[0], corners[1], corners[2]});
  }
}

// Asks `triangle_order` for the order of the crunched block's triangles, and
// checks that it names each of them once.
std::vector<std::uint32_t> ChooseOrder(const TriangleOrder& triangle_order, std::size_t number,
                                       const std::vector<BMF_UNVERTEX>& CrunchedVertex,
                                       const std::vector<BMF_SURFACE>& CrunchedIndex) {
  std::vector<std::uint32_t> corners;
  corners.reserve(3 * CrunchedIndex.size());
  for (const BMF_SURFACE& s : CrunchedIndex) corners.insert(corners.end(), {s.p0, s.p1, s.p2});
  std::vector<float32> positions;
  positions.reserve(3 * CrunchedVertex.size());
  for (const BMF_UNVERTEX& v : CrunchedVertex) positions.insert(positions.end(), {v.x, v.y, v.z});
  std::vector<std::uint32_t> order =
      triangle_order(BlockTriangles{corners, positions, CrunchedVertex.size()});
  std::vector<bool> named(CrunchedIndex.size(), false);
  bool permutation = order.size() == CrunchedIndex.size();
  for (std::size_t i = 0; permutation && i < order.size(); ++i) {
    permutation = order[i] < named.size() && !named[order[i]];
    if (permutation) named[order[i]] = true;
  }
  if (!permutation)
    throw Error(Error::Kind::invalid_model,
                "the triangle order chosen for block " + std::to_string(number) +
                    " does not name each of its " + std::to_string(CrunchedIndex.size()) +
                    " triangles once");
  return order;
}

// Puts the crunched triangles in `order` and renumbers their vertices in
// first-use order of it.
void Reorder(std::span<const std::uint32_t> order, std::vector<BMF_UNVERTEX>& CrunchedVertex,
             std::vector<BMF_SURFACE>& CrunchedIndex) {
  constexpr std::uint32_t kUnplaced = UINT32_MAX;
  std::vector<std::uint32_t> slot(CrunchedVertex.size(), kUnplaced);
  std::vector<BMF_UNVERTEX> vertices;
  std::vector<BMF_SURFACE> triangles;
  vertices.reserve(CrunchedVertex.size());
  triangles.reserve(CrunchedIndex.size());
  for (const std::uint32_t t : order) {
    uword corners[3] = {CrunchedIndex[t].p0, CrunchedIndex[t].p1, CrunchedIndex[t].p2};
    for (uword& corner : corners) {
      if (slot[corner] == kUnplaced) {
        slot[corner] = static_cast<std::uint32_t>(vertices.size());
        vertices.push_back(CrunchedVertex[corner]);
      }
      corner = static_cast<uword>(slot[corner]);
    }
    triangles.push_back(BMF_SURFACE{corners[0], corners[1], corners[2]});
  }
  CrunchedVertex.swap(vertices);
  CrunchedIndex.swap(triangles);
}

void WriteBlock(const Model& model, const Block& block, std::size_t number,
                const BmfWriteOptions& options, TranslateTable& table, Encoder& out,
                std::vector<BMF_UNVERTEX>& CrunchedVertex,
                std::vector<BMF_SURFACE>& CrunchedIndex) {
  const POLYGONLIST& material = model.PolyList()[block.material];
  if (material.texturename.empty()) {
    out.u16(1);
    out.raw("", 1);
  } else {
    if (material.texturename.size() + 1 > kBmfMaxCount)
      throw ModelTooLarge("a texture name is longer than a BMF file holds");
    out.u16(material.texturename.size() + 1);
    out.raw(material.texturename.c_str(), material.texturename.size() + 1);
  }
  out.color(material.ambient);
  out.color(material.diffuse);
  out.color(material.specular);

  CrunchBlock(model, block, table, CrunchedVertex, CrunchedIndex);
  if (options.triangle_order && !CrunchedIndex.empty())
    Reorder(ChooseOrder(options.triangle_order, number, CrunchedVertex, CrunchedIndex),
            CrunchedVertex, CrunchedIndex);

  out.u16(CrunchedVertex.size());
  byte* p = out.Grow(32 * CrunchedVertex.size());
  for (const BMF_UNVERTEX& v : CrunchedVertex) {
    for (const float32 f : {v.u, v.v, v.i, v.j, v.k, v.x, v.y, v.z}) {
      Store32(p, f);
      p += 4;
    }
  }
  out.u16(CrunchedIndex.size());
  p = out.Grow(6 * CrunchedIndex.size());
  for (const BMF_SURFACE& s : CrunchedIndex) {
    Store16(p, s.p0);
    Store16(p + 2, s.p1);
    Store16(p + 4, s.p2);
    p += 6;
  }
}

void WriteModel(const Model& model, Encoder& out, BmfStats* stats, const BmfWriteOptions& options,
                const std::atomic<bool>* cancel = nullptr) {
  TranslateTable table(model.NumVertex());
  const std::vector<Block> blocks = PlanBlocks(model, table);
  std::size_t largest_vertices = 0, largest_triangles = 0;
  for (const Block& block : blocks) {
    largest_vertices = std::max(largest_vertices, block.vertices);
    largest_triangles = std::max(largest_triangles, block.last - block.first);
  }
  std::vector<BMF_SURFACE> CrunchedIndex;
  std::vector<BMF_UNVERTEX> CrunchedVertex;
  try {
    CrunchedIndex.reserve(largest_triangles);
  } catch (const std::bad_alloc&) {
    throw WriterOutOfMemory("Error allocating memory for CrunchedIndex");
  }
  try {
    CrunchedVertex.reserve(largest_vertices);
  } catch (const std::bad_alloc&) {
    throw WriterOutOfMemory("Error allocating memory for CrunchedVertex");
  }

  out.u16(blocks.size());
  out.u16(0);  // strip flag: every block is an indexed triangle list
  BmfStats totals;
  totals.blocks = blocks.size();
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    StopIfCancelled(cancel);
    WriteBlock(model, blocks[b], b, options, table, out, CrunchedVertex, CrunchedIndex);
    totals.vertices += CrunchedVertex.size();
    totals.triangles += CrunchedIndex.size();
  }
  out.Flush();
  totals.bytes = out.Total();
  if (stats != nullptr) *stats = totals;
}

constexpr std::size_t kFileBufferSize = 1 << 20;

}  // namespace

std::vector<byte> OutGLBMFBytes(const Model& model, BmfStats* stats) {
  return OutGLBMFBytes(model, stats, BmfWriteOptions{});
}

std::vector<byte> OutGLBMFBytes(const Model& model, BmfStats* stats,
                                const BmfWriteOptions& options) {
  std::vector<byte> bytes;
  Encoder out(
      [&](const byte* data, std::size_t size) { bytes.insert(bytes.end(), data, data + size); },
      kFileBufferSize);
  WriteModel(model, out, stats, options);
  return bytes;
}

void OutGLBMF(const Model& model, const std::string& filename, BmfStats* stats,
              const std::atomic<bool>* cancel) {
  OutGLBMF(model, filename, stats, cancel, BmfWriteOptions{});
}

void OutGLBMF(const Model& model, const std::string& filename, BmfStats* stats,
              const std::atomic<bool>* cancel, const BmfWriteOptions& options) {
  StopIfCancelled(cancel);
  OutputFile file(filename);
  Encoder out([&](const byte* data, std::size_t size) { file.Write(data, size); }, kFileBufferSize);
  WriteModel(model, out, stats, options, cancel);
  StopIfCancelled(cancel);
  file.Commit();
}

void WriteFileReplacing(const std::string& filename, std::span<const byte> bytes) {
  OutputFile file(filename);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

}  // namespace torvik
