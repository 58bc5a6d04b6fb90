// Normals mesh by mesh, alongside the queueing.  The calling thread queues
// the meshes one after another; other threads take each queued mesh and
// compute the face normals of its triangles and then the vertex normals of
// its vertices, and the calling thread joins them once everything is
// queued.  A mesh's triangles use only its own vertices, so each mesh is
// finished on its own; its vertices sum their triangles in the order of the
// whole model's walk (materials from last to first, each material's
// triangles from last to first), which within one mesh is the order of its
// runs sorted by material and position, taken backwards.
//
// By smoothing groups, each mesh's vertices are split on their own into a
// table of the mesh's own; once every mesh is done, the tables are joined
// in mesh order and each mesh's triangles numbered after the vertices of
// the meshes before, which is the numbering the whole model's split gives.
#include <algorithm>
#include <exception>
#include <span>
#include <vector>

#include "base/large_tables.h"
#include "base/parallel_ranges.h"
#include "base/work_alongside.h"
#include "normal_sum.h"
#include "smoothing_split.h"
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
  // By smoothing groups: the mesh's vertices split, unless `one_group`.
  SmoothingSplit split;
  // Every triangle in the same groups and every vertex used: the split
  // keeps each vertex as it is, with its smooth normal, in place.
  bool one_group = false;
};

// The tables as the threads see them: their storage does not move while
// meshes are queued, and each thread touches only its own mesh's entries.
struct Tables {
  VERTEX* vertices;
  std::vector<SURFACE*> triangles;  // per material
  std::vector<const dword*> masks;  // per material, by smoothing groups
  std::vector<std::size_t> steps;   // per material: 2 for two-sided
  bool by_smoothing_groups = false;
};

// Calls use(entries, step, material) for the mesh's triangles that are not dropped,
// in the whole model's order (its runs sorted by material and position).
template <class Use>
void EachKeptTriangle(const Tables& tables, const QueuedMesh& mesh, Use&& use) {
  for (const Run& run : mesh.runs) {
    const std::size_t step = tables.steps[run.material];
    SURFACE* entries = tables.triangles[run.material] + run.from;
    for (std::size_t i = 0; i < run.count; ++i)
      if (entries[i * step].p0 != kDroppedTriangle) use(entries + i * step, step, run.material);
  }
}

std::vector<MaskedTriangle> MaskedTriangles(const Tables& tables, const QueuedMesh& mesh) {
  std::vector<MaskedTriangle> triangles;
  EachKeptTriangle(tables, mesh, [&](SURFACE* entry, std::size_t, std::size_t material) {
    triangles.push_back({entry, tables.masks[material][entry - tables.triangles[material]]});
  });
  return triangles;
}

void SortRuns(QueuedMesh& mesh) {
  std::sort(mesh.runs.begin(), mesh.runs.end(), [](const Run& a, const Run& b) {
    return a.material != b.material ? a.material < b.material : a.from < b.from;
  });
}

// Whether the mesh's triangles that are kept all have one and the same
// mask, not 0, and use every vertex of the mesh.  The split then makes one
// vertex of each, with the sum of all its triangles, which is its smooth
// normal: the vertices stay as they are, and the split's work is one count
// of every corner.
bool SmoothedAsOneGroup(const Tables& tables, QueuedMesh& mesh) {
  std::vector<bool> used(mesh.last_vertex - mesh.first_vertex, false);
  std::size_t corners = 0;
  bool one = true;
  dword mask = 0;
  EachKeptTriangle(tables, mesh, [&](SURFACE* entry, std::size_t, std::size_t material) {
    const dword own = tables.masks[material][entry - tables.triangles[material]];
    if (corners == 0) mask = own;
    one = one && own == mask;
    used[entry->p0 - mesh.first_vertex] = true;
    used[entry->p1 - mesh.first_vertex] = true;
    used[entry->p2 - mesh.first_vertex] = true;
    corners += 3;
  });
  if (!one || mask == 0 || std::find(used.begin(), used.end(), false) != used.end()) return false;
  mesh.one_group = true;
  mesh.split.work = corners;
  return true;
}

void FinishMesh(const Tables& tables, QueuedMesh& mesh) {
  const std::span<const VERTEX> positions(tables.vertices, mesh.last_vertex);
  for (const Run& run : mesh.runs) {
    const std::size_t step = tables.steps[run.material];
    SURFACE* entries = tables.triangles[run.material] + run.from;
    for (std::size_t i = 0; i < run.count; ++i)
      ComputeQueuedTriangle(positions, entries + i * step, step);
  }
  if (tables.by_smoothing_groups && !SmoothedAsOneGroup(tables, mesh)) {
    SortRuns(mesh);
    mesh.split = SplitBySmoothingGroups(tables.vertices, mesh.first_vertex, mesh.last_vertex,
                                        MaskedTriangles(tables, mesh), 0, false);
    return;
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

// Joins the meshes' split vertices in mesh order and numbers each mesh's
// triangles after the vertices of the meshes before: the table the whole
// model's split makes.  The first mesh, in order, whose work takes the
// model's past the limit is split again with the work before it counted,
// which throws as the whole model's split does.  When every mesh keeps its
// vertices in place, the model's table is already that table.
void JoinSplits(const Tables& tables, std::vector<QueuedMesh>& queued, std::size_t thread_budget,
                std::vector<VERTEX>& model_vertices) {
  std::vector<dword> offsets(queued.size() + 1, 0);
  std::size_t work = 0;
  bool in_place = true;
  for (std::size_t m = 0; m < queued.size(); ++m) {
    const QueuedMesh& mesh = queued[m];
    if (mesh.split.overworked || work + mesh.split.work > kMaxSmoothingWork)
      SplitBySmoothingGroups(tables.vertices, mesh.first_vertex, mesh.last_vertex,
                             MaskedTriangles(tables, mesh), work, true);
    work += mesh.split.work;
    offsets[m + 1] =
        offsets[m] + static_cast<dword>(mesh.one_group ? mesh.last_vertex - mesh.first_vertex
                                                       : mesh.split.vertices.size());
    in_place = in_place && mesh.one_group;
  }
  if (in_place) return;
  std::vector<VERTEX> vertices;
  ResizeLarge(vertices, offsets.back());
  ParallelRanges(
      queued.size(), ThreadsFor(offsets.back(), kTrianglesPerThread, thread_budget),
      [&](std::size_t first, std::size_t last) {
        for (std::size_t m = first; m < last; ++m) {
          QueuedMesh& mesh = queued[m];
          if (mesh.one_group) {
            std::copy(model_vertices.begin() + mesh.first_vertex,
                      model_vertices.begin() + mesh.last_vertex, vertices.begin() + offsets[m]);
            const dword shift = offsets[m] - static_cast<dword>(mesh.first_vertex);
            EachKeptTriangle(tables, mesh, [&](SURFACE* entries, std::size_t step, std::size_t) {
              for (std::size_t k = 0; k < step; ++k) {
                entries[k].p0 += shift;
                entries[k].p1 += shift;
                entries[k].p2 += shift;
              }
            });
            continue;
          }
          std::copy(mesh.split.vertices.begin(), mesh.split.vertices.end(),
                    vertices.begin() + offsets[m]);
          const dword* records = mesh.split.records.data();
          EachKeptTriangle(tables, mesh, [&](SURFACE* entries, std::size_t step, std::size_t) {
            RenumberSplitTriangle(entries, step, records, offsets[m]);
            records += 3;
          });
          mesh.split = SmoothingSplit();
        }
      });
  model_vertices = std::move(vertices);
}

}  // namespace

void Model::QueueMeshesAndFinish(std::size_t meshes,
                                 const std::function<void(std::size_t)>& queue_mesh,
                                 std::size_t thread_budget, bool by_smoothing_groups) {
  Tables tables{vertex_list_.data(), {}, {}, {}, by_smoothing_groups};
  std::size_t room = 0;
  for (POLYGONLIST& material : poly_list_) {
    const std::size_t step = material.doublesided != 0 ? 2 : 1;
    tables.triangles.push_back(material.TriangleIndexList.data());
    tables.masks.push_back(material.SmoothingGroups.data());
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
  if (by_smoothing_groups) JoinSplits(tables, queued, thread_budget, vertex_list_);
  DropMarkedTriangles();
}

}  // namespace torvik
