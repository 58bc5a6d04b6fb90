// The BMF writer.  Each material's triangles index the model's global vertex
// table; the writer crunches them into blocks with a vertex table of their
// own, numbered in first-use order, and 16-bit indices.  A material too
// large for one block is split into several consecutive ones.  Every corner
// names a vertex of the model: the model checks that as triangles come in.
#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <string>

#include "base/ordered_pipeline.h"
#include "base/parallel_ranges.h"
#include "block_encoder.h"
#include "output_file.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"

namespace torvik {

namespace {

void Store16(byte* p, std::size_t value) {
  p[0] = static_cast<byte>(value & 0xFF);
  p[1] = static_cast<byte>((value >> 8) & 0xFF);
}

// Output through one buffer, handed to `flush` when full and at the end.
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
  // Hands `size` bytes on as they are, after what is buffered.
  void Pass(const byte* data, std::size_t size) {
    Flush();
    if (size > 0) flush_(data, size);
    total_ += size;
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

// Below this many triangles a second thread costs more than it saves.
constexpr std::size_t kTrianglesPerThread = 100000;

// Buffers of one size, handed back for reuse once their bytes are written.
class BufferPool {
 public:
  explicit BufferPool(std::size_t size) : size_(size) {}

  std::unique_ptr<byte[]> Take() {
    {
      std::lock_guard lock(mutex_);
      if (!free_.empty()) {
        std::unique_ptr<byte[]> buffer = std::move(free_.back());
        free_.pop_back();
        return buffer;
      }
    }
    return std::make_unique_for_overwrite<byte[]>(size_);
  }
  void Give(std::unique_ptr<byte[]> buffer) {
    std::lock_guard lock(mutex_);
    free_.push_back(std::move(buffer));
  }

 private:
  std::size_t size_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<byte[]>> free_;
};

// The blocks in file order.  Materials are planned on their own, each
// with one of `tables`, so a large model plans several at once.
std::vector<Block> PlanBlocks(const Model& model, std::vector<TranslateTable>& tables) {
  std::vector<Block> blocks;
  const std::size_t materials = model.PolyList().size();
  OrderedPipeline<std::vector<Block>>(
      materials, tables.size() > 1 ? std::min(tables.size(), materials) : 0, tables.size(),
      [&](std::size_t worker, std::size_t m) {
        std::vector<Block> planned;
        PlanMaterialBlocks(model, m, tables[worker], planned);
        return planned;
      },
      [&](std::size_t, std::vector<Block> planned) {
        blocks.insert(blocks.end(), planned.begin(), planned.end());
      });
  CheckBlockCount(blocks.size());
  return blocks;
}

void WriteModel(const Model& model, Encoder& out, BmfStats* stats, const BmfWriteOptions& options,
                const std::atomic<bool>* cancel = nullptr) {
  // Large models plan and encode on several threads, each with a table of
  // its own, while the calling thread hands the blocks on in file order.
  std::size_t triangles = 0;
  for (const POLYGONLIST& material : model.PolyList()) triangles += material.NumTriangles();
  const std::size_t threads = ThreadsFor(triangles, kTrianglesPerThread, options.threads);
  std::vector<TranslateTable> tables;
  tables.emplace_back(model.NumVertex());
  try {
    while (tables.size() < threads) tables.emplace_back(model.NumVertex());
  } catch (const WriterOutOfMemory&) {
    // Fewer threads do the work.
  }

  const std::vector<Block> blocks = PlanBlocks(model, tables);
  std::size_t largest_vertices = 0, largest_triangles = 0;
  for (const Block& block : blocks) {
    largest_vertices = std::max(largest_vertices, block.vertices);
    largest_triangles = std::max(largest_triangles, block.last - block.first);
  }
  std::vector<BlockEncoder> encoders;
  encoders.emplace_back(std::move(tables[0]), largest_vertices, largest_triangles);
  try {
    for (std::size_t t = 1; t < std::min(tables.size(), blocks.size()); ++t)
      encoders.emplace_back(std::move(tables[t]), largest_vertices, largest_triangles);
  } catch (const WriterOutOfMemory&) {
    // Fewer threads do the work.
  }
  tables.clear();

  out.u16(blocks.size());
  out.u16(0);  // strip flag: every block is an indexed triangle list
  BmfStats totals;
  totals.blocks = blocks.size();
  auto count = [&](std::size_t vertices, std::size_t triangles_stored) {
    totals.vertices += vertices;
    totals.triangles += triangles_stored;
  };

  if (encoders.size() <= 1) {
    for (std::size_t b = 0; b < blocks.size(); ++b) {
      StopIfCancelled(cancel);
      encoders[0].Encode(model, blocks[b], b, options, out.Grow(BlockBytes(model, blocks[b])));
      count(encoders[0].Vertices(), encoders[0].Triangles());
    }
  } else {
    // Each block is encoded into a buffer of the largest block's size,
    // taken from those that the file has already taken.
    std::size_t largest_bytes = 0;
    for (const Block& block : blocks)
      largest_bytes = std::max(largest_bytes, BlockBytes(model, block));
    BufferPool pool(largest_bytes);
    OrderedPipeline<EncodedBlock>(
        blocks.size(), encoders.size(), encoders.size(),
        [&](std::size_t worker, std::size_t b) {
          EncodedBlock encoded;
          encoded.size = BlockBytes(model, blocks[b]);
          encoded.bytes = pool.Take();
          encoders[worker].Encode(model, blocks[b], b, options, encoded.bytes.get());
          encoded.vertices = encoders[worker].Vertices();
          encoded.triangles = encoders[worker].Triangles();
          return encoded;
        },
        [&](std::size_t, EncodedBlock encoded) {
          StopIfCancelled(cancel);
          out.Pass(encoded.bytes.get(), encoded.size);
          count(encoded.vertices, encoded.triangles);
          pool.Give(std::move(encoded.bytes));
        });
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
