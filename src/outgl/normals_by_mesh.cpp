// Normals mesh by mesh, alongside the queueing.  The calling thread queues
// the meshes one after another; other threads take each queued mesh and
// compute the face normals of its triangles and then the vertex normals of
// its vertices, and the calling thread joins them once everything is
// queued.  A mesh's triangles use only its own vertices, so each mesh is
// finished on its own; its vertices sum their triangles in the order of the
// whole model's walk (materials from last to first, each material's
// triangles from last to first), which within one mesh is the order of its
// runs sorted by material and position, taken backwards.
#include <algorithm>
#include <exception>
#include <span>
#include <vector>

#include "base/parallel_ranges.h"
#include "base/work_alongside.h"
#include "normal_sum.h"
#include "surface_normal.h"
#include "torvik32c/outgl.h"

namespace torvik {

namespace {

// Below this many triangles a second thread costs more than it saves.
constexpr std::size_t kTrianglesPerThread = 100000;

// A mesh's triangles: `count` from entry `from` of a material's table.
struct Run {
  std::size_t material, from, count;
};

struct QueuedMesh {
  std::size_t first_vertex = 0, last_vertex = 0;
  std::vector<Run> runs;
};

// The tables as the threads see them: their storage does not move while
// meshes are queued, and each thread touches only its own mesh's entries.
struct Tables {
  VERTEX* vertices;
  std::vector<SURFACE*> triangles;  // per material
  std::vector<std::size_t> steps;   // per material: 2 for two-sided
};

void FinishMesh(const Tables& tables, QueuedMesh& mesh) {
  const std::span<const VERTEX> positions(tables.vertices, mesh.last_vertex);
  for (const Run& run : mesh.runs) {
    const std::size_t step = tables.steps[run.material];
    SURFACE* entries = tables.triangles[run.material] + run.from;
    for (std::size_t i = 0; i < run.count; ++i)
      ComputeQueuedTriangle(positions, entries + i * step, step);
  }
  std::sort(mesh.runs.begin(), mesh.runs.end(), [](const Run& a, const Run& b) {
    return a.material != b.material ? a.material > b.material : a.from > b.from;
  });
  SumVertexNormals(tables.vertices, mesh.first_vertex, mesh.last_vertex, [&](auto&& use) {
    for (const Run& run : mesh.runs) {
      const std::size_t step = tables.steps[run.material];
      const SURFACE* entries = tables.triangles[run.material] + run.from;
      for (std::size_t n = run.count; n-- > 0;)
        if (entries[n * step].p0 != kDroppedTriangle) use(entries[n * step]);
    }
  });
}

}  // namespace

void Model::QueueMeshesAndFinish(std::size_t meshes,
                                 const std::function<void(std::size_t)>& queue_mesh,
                                 std::size_t thread_budget) {
  Tables tables{vertex_list_.data(), {}, {}};
  std::size_t room = 0;
  for (POLYGONLIST& material : poly_list_) {
    const std::size_t step = material.doublesided != 0 ? 2 : 1;
    tables.triangles.push_back(material.TriangleIndexList.data());
    tables.steps.push_back(step);
    room += (material.TriangleIndexList.capacity() - material.TriangleIndexList.size()) / step;
  }
  std::vector<QueuedMesh> queued(meshes);
  by_mesh_ = true;
  mesh_runs_.clear();
  auto queue = [&](std::size_t m) {
    queued[m].first_vertex = vertex_list_.size();
    queue_mesh(m);
    queued[m].last_vertex = vertex_list_.size();
    for (const QueuedRun& run : mesh_runs_)
      queued[m].runs.push_back({run.material, run.from, run.count});
    mesh_runs_.clear();
  };
  const std::size_t threads = ThreadsFor(room, kTrianglesPerThread, thread_budget);

  try {
    // Declared after the tables it reads, so that it is gone (its helpers
    // joined) before they are.
    WorkAlongside alongside;
    for (std::size_t t = 1; t < threads; ++t)
      if (!alongside.AddHelper()) break;
    for (std::size_t m = 0; m < meshes; ++m) {
      queue(m);
      if (alongside.Helpers() > 0)
        alongside.Add([&tables, &mesh = queued[m]] { FinishMesh(tables, mesh); });
      else
        FinishMesh(tables, queued[m]);  // one thread: while the mesh is fresh in the cache
    }
    alongside.Finish();
  } catch (...) {
    by_mesh_ = false;
    throw;
  }
  by_mesh_ = false;
  DropMarkedTriangles();
}

}  // namespace torvik
