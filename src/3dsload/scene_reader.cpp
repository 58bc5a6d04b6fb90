// The walk from the main chunk down to object blocks and material blocks.
#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include "base/file_bytes_uninitialised.h"
#include "base/little_endian.h"
#include "camera_light_chunks.h"
#include "chunk_reader.h"
#include "keyframer_chunks.h"

namespace torvik {

namespace {
constexpr uword kMainChunk = 0x4D4D;
constexpr uword kEditorChunk = 0x3D3D;
constexpr uword kObjectBlock = 0x4000;
constexpr uword kTriangleMesh = 0x4100;
constexpr uword kMaterialBlock = 0xAFFF;
constexpr uword kKeyframer = 0xB000;
}  // namespace

H3dsScene HRead3dsScene(std::span<const byte> bytes, const ReadOptions& options) {
  return ChunkReader(bytes, options).Read();
}

StreamContent ThreeDsStreamContent() {
  return [](std::span<const byte> read) -> std::optional<StreamEnd> {
    constexpr std::size_t kHeader = 6;
    if (read.size() < kHeader) return std::nullopt;
    // A stream that does not begin with the main chunk ends at its header,
    // which the reader then refuses; the main chunk ends where it says.
    if (load_u16(read.data()) != kMainChunk) return StreamEnd{.length = kHeader};
    return StreamEnd{.length = std::max<std::size_t>(load_u32(read.data() + 2), kHeader)};
  };
}

H3dsScene ReadSceneFile(const std::string& path, const ReadOptions& options) {
  const UninitialisedBytes bytes = ReadFileBytesUninitialised(path, ThreeDsStreamContent());
  return HRead3dsScene(bytes, options);
}

H3dsScene ChunkReader::Read() {
  try {
    Walk();
  } catch (...) {
    // A mesh that ended before the walk failed reports its own fault first.
    const std::exception_ptr failure = std::current_exception();
    finisher_.Finish(scene_.meshobjlist);
    std::rethrow_exception(failure);
  }
  finisher_.Finish(scene_.meshobjlist);
  return std::move(scene_);
}

void ChunkReader::Walk() {
  if (bytes_.empty()) Fail("empty file", 0);
  const ChunkHeader main = ReadChunkHeader();
  if (main.id != kMainChunk) {
    chunk_ = main;
    Fail("not a 3DS file: it begins with chunk " + HexId(main.id) +
             " instead of the main chunk 0x4D4D",
         0);
  }
  chunk_ = main;
  ReadMainBlocks(main.end);
}

void ChunkReader::ReadMainBlocks(std::int32_t p) {
  bool keyframer_read = false;
  ChunkLoop(p, [&](const ChunkHeader& chunk) {
    if (chunk.id == kKeyframer && options_.keyframer && !keyframer_read) {
      // Read aside, never failing the walk, which then skips the chunk as
      // it does without the option.
      keyframer_read = true;
      KeyframerNodes keyframer =
          ReadKeyframerNodes(bytes_.first(size_), static_cast<std::size_t>(chunk.start),
                             options_.animation, options_.names);
      scene_.nodes = std::move(keyframer.nodes);
      scene_.animation = std::move(keyframer.animation);
      scene_.keyframer_warnings = std::move(keyframer.warnings);
      return false;
    }
    if (chunk.id != kEditorChunk) return false;
    ReadObjMeshBlocks(chunk.end);
    return true;
  });
}

void ChunkReader::ReadObjMeshBlocks(std::int32_t p) {
  ChunkLoop(p, [&](const ChunkHeader& chunk) {
    switch (chunk.id) {
      case kObjectBlock:
        ReadObjBlocks(chunk.end);
        return true;
      case kMaterialBlock:
        ReadMaterialBlocks(chunk.end);
        return true;
      default:
        return false;
    }
  });
}

void ChunkReader::ReadObjBlocks(std::int32_t p) {
  const std::string name = ReadName("object name");
  ChunkLoop(p, [&](const ChunkHeader& chunk) {
    if (chunk.id != kTriangleMesh) {
      // Read aside, never failing the walk, which skips them as it does
      // without the option.
      if (options_.cameras_and_lights && (chunk.id == kCameraChunk || chunk.id == kLightChunk))
        ReadCameraOrLight(bytes_.first(size_), chunk.id, static_cast<std::size_t>(chunk.start),
                          name, scene_, options_.names);
      return false;
    }
    ReadTriMeshBlocks(chunk.end, name);
    return true;
  });
  // The walk goes on at the object block's end, wherever its last sub-chunk
  // left the stream.
  dsetpos(p);
}

}  // namespace torvik
