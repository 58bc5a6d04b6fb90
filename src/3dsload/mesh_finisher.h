// The second half of reading a mesh: its vertex, face and mapping lists are
// decoded from the file's bytes and the mesh is checked.  The chunk walk
// only finds the lists (every bound is checked there, in file order); a
// large file has them decoded on other threads while the walk goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "torvik32c/3dsload.h"

namespace torvik {

// Records in the file's bytes, not decoded yet.
struct PendingList {
  const byte* data = nullptr;
  std::size_t count = 0;
};

// A mesh whose chunk has ended: everything but its three large lists.
struct MeshTask {
  std::size_t index = 0;  // among the scene's meshes
  H3dsMeshObj mesh;
  PendingList vertices, faces, maps;
  // How a fault of the mesh is reported: the mesh chunk, and the position
  // the walk had reached at its end.
  uword chunk_id = 0;
  std::int32_t chunk_start = 0;
  std::int64_t at = 0;
};

// Reads the message of a fault at `at` in the chunk that starts at
// `chunk_start`, as the reader reports every fault.
[[noreturn]] void FailInChunk(const std::string& message, uword chunk_id, std::int32_t chunk_start,
                              std::int64_t at);

class MeshFinisher {
 public:
  // `threads`: at most this many threads decode (0: the cores); with one,
  // each mesh is finished as it is added.
  // A mesh's fault quotes its names as `names` decodes them; the finisher
  // keeps a reference to it.
  MeshFinisher(std::size_t threads, bool keep_file_winding, const NameDecoder& names);
  ~MeshFinisher();
  MeshFinisher(const MeshFinisher&) = delete;
  MeshFinisher& operator=(const MeshFinisher&) = delete;

  // Throws the mesh's fault at once when meshes are finished as added.
  void Add(MeshTask task);

  // Waits for every mesh added; throws the fault of the first faulty one in
  // the order they were added, if any; otherwise puts each finished mesh
  // back at its index.
  void Finish(std::vector<H3dsMeshObj>& meshes);

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
  bool keep_file_winding_;
  const NameDecoder& names_;
};

}  // namespace torvik
