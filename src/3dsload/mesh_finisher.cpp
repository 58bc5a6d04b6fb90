#include "mesh_finisher.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/little_endian.h"
#include "base/parallel_ranges.h"
#include "base/work_alongside.h"
#include "chunk_reader.h"
#include "mesh_check.h"
#include "torvik32c/errors.h"

namespace torvik {

namespace {

void Decode(MeshTask& task, bool keep_file_winding) {
  H3dsMeshObj& mesh = task.mesh;
  if (task.vertices.data != nullptr) {
    mesh.vertlist.resize(task.vertices.count);
    const byte* data = task.vertices.data;
    for (H3dsVert& vert : mesh.vertlist) {
      vert = H3dsVert{load_f32(data), load_f32(data + 4), load_f32(data + 8)};
      data += 12;
    }
  }
  if (task.faces.data != nullptr) {
    mesh.facelist.resize(task.faces.count);
    const byte* data = task.faces.data;
    for (H3dsFace& face : mesh.facelist) {
      face.p0 = load_u16(data);
      face.p1 = load_u16(data + 2);
      face.p2 = load_u16(data + 4);
      face.flags = static_cast<word>(load_u16(data + 6));
      if (face.flags == kSwappedFaceFlags && !keep_file_winding) std::swap(face.p1, face.p2);
      data += 8;
    }
  }
  if (task.maps.data != nullptr) {
    mesh.maplist.resize(task.maps.count);
    const byte* data = task.maps.data;
    for (H3dsMap& map : mesh.maplist) {
      map = H3dsMap{load_f32(data), load_f32(data + 4)};
      data += 8;
    }
  }
}

// Decodes the task's lists and checks the mesh; throws its fault.
void FinishTask(MeshTask& task, bool keep_file_winding, const NameDecoder& names) {
  Decode(task, keep_file_winding);
  if (const std::optional<std::string> fault = FindMeshFault(task.mesh, names))
    FailInChunk(*fault, task.chunk_id, task.chunk_start, task.at);
}

// Above this many bytes of lists a file's meshes are decoded alongside the
// walk.
constexpr std::size_t kBytesForAThread = 4 << 20;

}  // namespace

void FailInChunk(const std::string& message, uword chunk_id, std::int32_t chunk_start,
                 std::int64_t at) {
  std::string text = message;
  if (chunk_start >= 0)
    text += " (chunk " + HexId(chunk_id) + " at byte " + std::to_string(chunk_start) + ")";
  throw ReadError(text, chunk_id, chunk_start, at);
}

struct MeshFinisher::Shared {
  WorkAlongside alongside;
  bool in_turn = true;  // one thread: each mesh is finished as it is added
  std::size_t threads_wanted = 1;
  std::size_t bytes_seen = 0;
  // In the order added; each keeps its place while helpers finish it.
  std::vector<std::unique_ptr<MeshTask>> tasks;
};

MeshFinisher::MeshFinisher(std::size_t threads, bool keep_file_winding, const NameDecoder& names)
    : shared_(std::make_unique<Shared>()), keep_file_winding_(keep_file_winding), names_(names) {
  shared_->threads_wanted = threads == 0 ? HardwareThreads() : threads;
  shared_->in_turn = shared_->threads_wanted <= 1;
}

MeshFinisher::~MeshFinisher() = default;

void MeshFinisher::Add(MeshTask task) {
  Shared& s = *shared_;
  MeshTask& added = *s.tasks.emplace_back(std::make_unique<MeshTask>(std::move(task)));
  if (s.in_turn) {
    FinishTask(added, keep_file_winding_, names_);
    return;
  }
  s.bytes_seen += 12 * added.vertices.count + 8 * added.faces.count + 8 * added.maps.count;
  s.alongside.Add(
      [&added, keep = keep_file_winding_, &names = names_] { FinishTask(added, keep, names); });
  // A helper starts once the file shows enough to pay for it; the walk
  // itself takes the place of the other threads.
  const std::size_t working = s.alongside.Helpers() + 1;
  if (working < s.threads_wanted && s.bytes_seen > kBytesForAThread * working &&
      !s.alongside.AddHelper())
    s.threads_wanted = working;  // no more threads: the ones there do the work
}

void MeshFinisher::Finish(std::vector<H3dsMeshObj>& meshes) {
  Shared& s = *shared_;
  s.alongside.Finish();
  for (const std::unique_ptr<MeshTask>& task : s.tasks) meshes[task->index] = std::move(task->mesh);
  s.tasks.clear();
}

}  // namespace torvik
