// The BMF format: records and the writer.
//
// A BMF file is a u16 block count and a u16 strip flag (0), then one block per
// material: u16 L and L bytes of texture name (zero-terminated), ambient,
// diffuse and specular colours (4 x f32 each), u16 V and V vertex records
// (u, v, normal i j k, position x y z: 8 x f32), u16 T and T triangles
// (3 x u16 indices into the block's own vertex table).  Little-endian,
// packed.  Vertices are numbered in first-use order within each block.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "torvik32c/export.h"
#include "torvik32c/outgl.h"
#include "torvik32c/types.h"

namespace torvik {

struct BMF_RGBCOLOR {
  float32 red, green, blue, alpha;
};

struct BMF_UNVERTEX {
  float32 u, v;
  float32 i, j, k;
  float32 x, y, z;
};

struct BMF_SURFACE {
  uword p0, p1, p2;
};

// The 16-bit fields bound blocks, and vertices and triangles per block.
inline constexpr std::size_t kBmfMaxCount = 65535;

// What a written file holds.
struct BmfStats {
  std::size_t blocks = 0;
  std::size_t vertices = 0;   // vertex records over all blocks
  std::size_t triangles = 0;  // triangle records over all blocks
  std::size_t bytes = 0;
};

// One block's triangles as a triangle-order hook sees them, before they are
// stored: three corners per triangle, each an index into the block's own
// vertex table (numbered in first-use order of the material's triangle
// order), and the x, y, z position of each vertex of that table.
struct BlockTriangles {
  std::span<const std::uint32_t> corners;  // 3 per triangle
  std::span<const float32> positions;      // 3 per vertex
  std::size_t vertex_count = 0;
};

// Chooses the order in which a block stores its triangles: returns a
// permutation of 0 .. T-1 whose i-th entry names the triangle stored i-th.
using TriangleOrder = std::function<std::vector<std::uint32_t>(const BlockTriangles&)>;

struct BmfWriteOptions {
  // When given, called once per block that has triangles.  Only the order of
  // the block's triangles changes: each keeps its corners in their cyclic
  // order, the blocks are those of the material's own order, and the
  // vertices are numbered in first-use order of the new order.  Without it
  // every block keeps the material's order.  With more than one thread
  // (below) it may be called for several blocks at once, from the writer's
  // threads.
  TriangleOrder triangle_order;
  // The most threads that encode blocks at once (0: the machine's cores; a
  // small model always takes one).  With more than one, the calling thread
  // hands the encoded blocks on in file order while the others encode; the
  // bytes are the same for any number.
  std::size_t threads = 0;
};

// Serialises the model.  A material whose triangles use more than 65535
// distinct vertices, or that has more than 65535 triangles, becomes several
// consecutive blocks with the same texture name and colours.  Throws
// ModelTooLarge when more than 65535 blocks would be needed.
TORVIK_API std::vector<byte> OutGLBMFBytes(const Model& model, BmfStats* stats = nullptr);
// The same with options; throws Error (invalid_model) when
// `options.triangle_order` returns something other than a permutation.
TORVIK_API std::vector<byte> OutGLBMFBytes(const Model& model, BmfStats* stats,
                                           const BmfWriteOptions& options);

// Writes the model to `filename` through a temporary file that replaces the
// destination only when complete.  Throws IoError (cannot_open or
// write_failed), ModelTooLarge or WriterOutOfMemory, or Cancelled when
// `cancel` is raised before the file is complete; the destination is then
// left as it was and the temporary file is removed.
TORVIK_API void OutGLBMF(const Model& model, const std::string& filename, BmfStats* stats = nullptr,
                         const std::atomic<bool>* cancel = nullptr);
// The same with options, as for OutGLBMFBytes.
TORVIK_API void OutGLBMF(const Model& model, const std::string& filename, BmfStats* stats,
                         const std::atomic<bool>* cancel, const BmfWriteOptions& options);

// Writes `bytes` to `filename` the same way: through a temporary file beside
// it, renamed over the destination when complete (a destination that is not
// a regular file, such as a pipe or /dev/stdout, is written in place).
// Throws IoError (cannot_open or write_failed).
TORVIK_API void WriteFileReplacing(const std::string& filename, std::span<const byte> bytes);

}  // namespace torvik
