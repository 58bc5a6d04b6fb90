// The reader of one 3DS file: a bounds-checked cursor over the file's bytes,
// the chunk loop, and the handlers of every chunk the reader knows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "mesh_finisher.h"
#include "torvik32c/3dsload.h"

namespace torvik {

// "0x4D4D"
std::string HexId(uword id);

struct ChunkHeader {
  uword id;
  std::int32_t start;  // position of the header
  std::int32_t end;    // start + length
};

class ChunkReader {
 public:
  ChunkReader(std::span<const byte> bytes, const ReadOptions& options);

  H3dsScene Read();

 private:
  // Stream operations.  Positions past the end are allowed; reading there is not.
  std::int32_t dgetpos() const { return pos_; }
  void dsetpos(std::int32_t pos) { pos_ = pos; }
  // Returns a pointer to the next `len` bytes and moves past them, or aborts
  // the read naming `what`.
  const byte* dread(std::size_t len, const char* what);
  std::uint16_t read_u16(const char* what);
  float read_f32(const char* what);
  // Checks that `count` records of `record_size` bytes remain, before
  // anything is allocated for them.
  void need(std::size_t count, std::size_t record_size, const char* what);
  std::string ReadName(const char* what);
  bool FileHolds(std::int32_t pos, std::size_t len) const {
    return static_cast<std::size_t>(pos) <= size_ && len <= size_ - static_cast<std::size_t>(pos);
  }

  ChunkHeader ReadChunkHeader();
  // Runs the chunk loop up to `end`: `handle` returns false for a chunk it
  // does not know, which is then skipped.
  template <class Handler>
  void ChunkLoop(std::int32_t end, Handler&& handle);

  [[noreturn]] void Fail(const std::string& message, std::int64_t at) const;
  std::string Context(const char* what) const;

  void Walk();
  void ReadMainBlocks(std::int32_t p);
  void ReadObjMeshBlocks(std::int32_t p);
  void ReadObjBlocks(std::int32_t p);

  void ReadTriMeshBlocks(std::int32_t p, const std::string& name);
  void ReadVertList(H3dsMeshObj& meshobj);
  void ReadFaceList(H3dsMeshObj& meshobj);
  void ReadMapList(H3dsMeshObj& meshobj);
  void ReadTraMatrix(H3dsMeshObj& meshobj);
  void ReadFaceMaterial(H3dsMeshObj& meshobj);
  void ReadDefaultMaterial(H3dsMeshObj& meshobj);
  void ReadSmoothingGroups(H3dsMeshObj& meshobj, const ChunkHeader& chunk);

  void ReadMaterialBlocks(std::int32_t p);
  void ReadShadingChunk(std::int32_t p, H3dsRGBColor& rgb);
  void ReadRGBFloat(H3dsRGBColor& rgb);
  void ReadRGBByte(H3dsRGBColor& rgb);
  void ReadAlphaChunk(std::int32_t p, H3dsMat& mat);
  void ReadTextureChunk(std::int32_t p, H3dsTexture& texture);

  std::span<const byte> bytes_;
  ReadOptions options_;
  std::size_t size_;  // readable bytes: the file, but no further than 2^31 - 1
  std::int32_t pos_ = 0;
  // Chunks that overlap their parents make the walk read some bytes again;
  // reading more than a few times the file's size means a hostile file.
  std::uint64_t read_budget_;
  // What the reading aside of materials' extras may examine (material_extras.h).
  std::uint64_t extras_budget_;
  H3dsScene scene_;
  ChunkHeader chunk_{0, -1, -1};            // the chunk being handled, for messages
  const std::string* mesh_name_ = nullptr;  // the mesh being read, for messages
  // The mesh being read: its last vertex, face and mapping lists.
  PendingList pending_vertices_, pending_faces_, pending_maps_;
  MeshFinisher finisher_;
};

template <class Handler>
void ChunkReader::ChunkLoop(std::int32_t end, Handler&& handle) {
  while (dgetpos() < end) {
    const ChunkHeader header = ReadChunkHeader();
    const ChunkHeader outer = chunk_;
    chunk_ = header;
    if (!handle(header)) dsetpos(header.end);
    chunk_ = outer;
  }
}

}  // namespace torvik
