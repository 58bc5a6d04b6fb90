#include "mesh_finisher.h"

#include <optional>
#include <string>
#include <utility>

#include "base/little_endian.h"
#include "base/parallel_ranges.h"
#include "chunk_reader.h"
#include "mesh_check.h"
#include "torvik32c/errors.h"

#ifdef TORVIK_HAVE_THREADS
#include <condition_variable>
#include <deque>
#include <mutex>
#endif

namespace torvik {

namespace {

constexpr word kSwappedFaceFlags = 7;

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

// Decodes the task's lists and checks the mesh: its fault, if any.
std::exception_ptr FinishTask(MeshTask& task, bool keep_file_winding) {
  try {
    Decode(task, keep_file_winding);
    if (const std::optional<std::string> fault = FindMeshFault(task.mesh))
      FailInChunk(*fault, task.chunk_id, task.chunk_start, task.at);
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
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
  std::vector<MeshTask> done;
  std::vector<std::exception_ptr> faults;  // per task, in the order added
#ifdef TORVIK_HAVE_THREADS
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<MeshTask> waiting;
  std::size_t bytes_seen = 0;
  std::size_t threads_wanted = 0;
  bool adding = true;
  std::vector<std::thread> helpers;

  void Work(bool keep_file_winding) {
    for (;;) {
      MeshTask task;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !waiting.empty() || !adding; });
        if (waiting.empty()) return;
        task = std::move(waiting.front());
        waiting.pop_front();
      }
      std::exception_ptr fault = FinishTask(task, keep_file_winding);
      std::lock_guard lock(mutex);
      if (faults.size() <= task.index) faults.resize(task.index + 1);
      faults[task.index] = fault;
      done.push_back(std::move(task));
    }
  }

  void Stop() {
    {
      std::lock_guard lock(mutex);
      adding = false;
    }
    changed.notify_all();
    for (std::thread& helper : helpers) helper.join();
    helpers.clear();
  }
#endif
};

MeshFinisher::MeshFinisher(std::size_t threads, bool keep_file_winding)
    : shared_(std::make_unique<Shared>()), keep_file_winding_(keep_file_winding) {
#ifdef TORVIK_HAVE_THREADS
  shared_->threads_wanted = threads == 0 ? HardwareThreads() : threads;
#else
  (void)threads;
#endif
}

MeshFinisher::~MeshFinisher() {
#ifdef TORVIK_HAVE_THREADS
  shared_->Stop();
#endif
}

void MeshFinisher::Add(MeshTask task) {
#ifdef TORVIK_HAVE_THREADS
  Shared& s = *shared_;
  if (s.threads_wanted > 1) {
    const std::size_t bytes = 12 * task.vertices.count + 8 * task.faces.count + 8 * task.maps.count;
    {
      std::lock_guard lock(s.mutex);
      s.bytes_seen += bytes;
      s.waiting.push_back(std::move(task));
    }
    s.changed.notify_one();
    // A helper starts once the file shows enough to pay for it; the walk
    // itself takes the place of the other threads.
    if (s.helpers.size() + 1 < s.threads_wanted &&
        s.bytes_seen > kBytesForAThread * (s.helpers.size() + 1)) {
      try {
        s.helpers.emplace_back([this] { shared_->Work(keep_file_winding_); });
      } catch (const std::exception&) {
        s.threads_wanted = s.helpers.size() + 1;  // what is waiting is finished at the end
      }
    }
    return;
  }
#endif
  if (std::exception_ptr fault = FinishTask(task, keep_file_winding_))
    std::rethrow_exception(fault);
  shared_->done.push_back(std::move(task));
}

void MeshFinisher::Finish(std::vector<H3dsMeshObj>& meshes) {
  Shared& s = *shared_;
#ifdef TORVIK_HAVE_THREADS
  {
    std::lock_guard lock(s.mutex);
    s.adding = false;
  }
  s.changed.notify_all();
  // The calling thread takes what is still waiting, beside the helpers.
  s.Work(keep_file_winding_);
  s.Stop();
#endif
  for (const std::exception_ptr& fault : s.faults)
    if (fault) std::rethrow_exception(fault);
  for (MeshTask& task : s.done) meshes[task.index] = std::move(task.mesh);
  s.done.clear();
}

}  // namespace torvik
