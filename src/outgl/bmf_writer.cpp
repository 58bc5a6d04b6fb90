// The BMF writer.  Each material's triangles index the model's global vertex
// table; the writer crunches them into blocks with a vertex table of their
// own, numbered in first-use order, and 16-bit indices.  A material too
// large for one block is split into several consecutive ones.  Every corner
// names a vertex of the model: the model checks that as triangles come in.
#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
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

// The file's bytes, handed on in order as they come, and counted.
class Output {
 public:
  explicit Output(std::function<void(const byte*, std::size_t)> take) : take_(std::move(take)) {}

  void Pass(const byte* data, std::size_t size) {
    if (size > 0) take_(data, size);
    total_ += size;
  }
  std::size_t Total() const { return total_; }

 private:
  std::function<void(const byte*, std::size_t)> take_;
  std::size_t total_ = 0;
};

// Below this many triangles a second thread costs more than it saves.
constexpr std::size_t kTrianglesPerThread = 100000;

// With a triangle order, how many blocks per thread may wait, encoded, for
// their turn to be written.
constexpr std::size_t kOrderedBlocksAhead = 4;

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
#if defined(__cpp_lib_smart_ptr_for_overwrite)
    return std::make_unique_for_overwrite<byte[]>(size_);
#else
    return std::unique_ptr<byte[]>(new byte[size_]);  // older libc++ (Emscripten's)
#endif
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

void WriteModel(const Model& model, Output& out, BmfStats* stats, const BmfWriteOptions& options,
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

  byte header[4];
  Store16(header, blocks.size());
  Store16(header + 2, 0);  // strip flag: every block is an indexed triangle list
  out.Pass(header, sizeof header);
  BmfStats totals;
  totals.blocks = blocks.size();
  // Each block is encoded into a buffer of the largest block's size, taken
  // from those that the file has already taken; with one encoder, block by
  // block on the calling thread.
  std::size_t largest_bytes = 0;
  for (const Block& block : blocks)
    largest_bytes = std::max(largest_bytes, BlockBytes(model, block));
  BufferPool pool(largest_bytes);
  // A triangle order makes the blocks' times uneven: a thread that is done
  // may run further ahead of a slow block, at one more buffer each.
  const std::size_t window =
      options.triangle_order ? kOrderedBlocksAhead * encoders.size() : encoders.size();
  OrderedPipeline<EncodedBlock>(
      blocks.size(), encoders.size() > 1 ? encoders.size() : 0, window,
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
        totals.vertices += encoded.vertices;
        totals.triangles += encoded.triangles;
        pool.Give(std::move(encoded.bytes));
      });
  totals.bytes = out.Total();
  if (stats != nullptr) *stats = totals;
}

}  // namespace

std::vector<byte> OutGLBMFBytes(const Model& model, BmfStats* stats) {
  return OutGLBMFBytes(model, stats, BmfWriteOptions{});
}

std::vector<byte> OutGLBMFBytes(const Model& model, BmfStats* stats,
                                const BmfWriteOptions& options) {
  std::vector<byte> bytes;
  Output out(
      [&](const byte* data, std::size_t size) { bytes.insert(bytes.end(), data, data + size); });
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
  Output out([&](const byte* data, std::size_t size) { file.Write(data, size); });
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
