#include "mesh_assembly.h"

#include <algorithm>
#include <cstring>

namespace torvik::import {

namespace {

// A float's bits (memcpy: Emscripten's C++ library has no std::bit_cast).
std::uint32_t Bits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::uint64_t Mix(std::uint64_t hash, std::uint32_t value) {
  hash ^= value;
  hash *= 0x100000001B3ull;
  return hash ^ (hash >> 29);
}

}  // namespace

MeshAssembler::MeshAssembler(std::string name, bool keep_normals, AssemblyScratch scratch)
    : name_(std::move(name)),
      keep_normals_(keep_normals),
      positions_(std::move(scratch.spare.vertlist)),
      uvs_(std::move(scratch.spare.maplist)),
      table_(std::move(scratch.table)),
      corners_(std::move(scratch.corners)),
      slot_of_(std::move(scratch.slot_of)),
      spare_(std::move(scratch.spare)) {
  positions_.clear();
  uvs_.clear();
  corners_.clear();
  slot_of_.clear();
}

AssemblyScratch MeshAssembler::TakeScratch() && {
  corners_.clear();
  slot_of_.clear();
  return {std::move(table_), std::move(corners_), std::move(slot_of_), {}};
}

std::size_t MeshAssembler::HashOf(const SourceVertex& v) const {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (const float f : {v.position.x, v.position.y, v.position.z, v.uv.u, v.uv.v})
    hash = Mix(hash, Bits(f));
  if (keep_normals_)
    for (const float f : {v.normal.x, v.normal.y, v.normal.z}) hash = Mix(hash, Bits(f));
  return static_cast<std::size_t>(hash * 0x9E3779B97F4A7C15ull >> 16);
}

bool MeshAssembler::Same(std::uint32_t index, const SourceVertex& v) const {
  const auto same = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  return same(positions_[index], v.position) && same(uvs_[index], v.uv) &&
         (!keep_normals_ || same(normals_[index], v.normal));
}

void MeshAssembler::Grow(std::size_t size) {
  table_size_ = size;
  if (table_.size() < size) table_.resize(size);
  std::fill_n(table_.begin(), size, 0);
  for (std::uint32_t i = 0; i < positions_.size(); ++i) {
    SourceVertex stored{positions_[i], uvs_[i], {}};
    if (keep_normals_) stored.normal = normals_[i];
    std::size_t slot = HashOf(stored) & (size - 1);
    while (table_[slot] != 0) slot = (slot + 1) & (size - 1);
    table_[slot] = i + 1;
  }
}

void MeshAssembler::Reserve(std::size_t vertices, std::size_t triangles) {
  const std::size_t most = positions_.size() + vertices;
  positions_.reserve(most);
  uvs_.reserve(most);
  if (keep_normals_) normals_.reserve(most);
  corners_.reserve(corners_.size() + 3 * triangles);
  slot_of_.reserve(slot_of_.size() + triangles);
  if (most * 2 > table_size_) {
    // The smallest power of two that holds them twice over, at least 1024
    // (a loop: Emscripten's C++ library has no std::bit_ceil).
    std::size_t size = 1024;
    while (size < most * 2) size *= 2;
    Grow(size);
  }
}

std::uint32_t MeshAssembler::Append(const SourceVertex& vertex) {
  positions_.push_back(vertex.position);
  uvs_.push_back(vertex.uv);
  if (keep_normals_) normals_.push_back(vertex.normal);
  return static_cast<std::uint32_t>(positions_.size() - 1);
}

std::uint32_t MeshAssembler::Welded(const SourceVertex& vertex) {
  if ((positions_.size() + 1) * 2 > table_size_) Grow(std::max<std::size_t>(1024, table_size_ * 2));
  const std::size_t mask = table_size_ - 1;
  std::size_t slot = HashOf(vertex) & mask;
  while (table_[slot] != 0) {
    const std::uint32_t index = table_[slot] - 1;
    if (Same(index, vertex)) return index;
    slot = (slot + 1) & mask;
  }
  const std::uint32_t index = Append(vertex);
  table_[slot] = index + 1;
  return index;
}

std::uint32_t MeshAssembler::Added(const SourceVertex& vertex) { return Append(vertex); }

std::size_t MeshAssembler::Slot(const std::string& binding) {
  const auto found = std::find(slots_.begin(), slots_.end(), binding);
  if (found != slots_.end()) return static_cast<std::size_t>(found - slots_.begin());
  slots_.push_back(binding);
  return slots_.size() - 1;
}

void MeshAssembler::Triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::size_t slot) {
  corners_.push_back(a);
  corners_.push_back(b);
  corners_.push_back(c);
  slot_of_.push_back(static_cast<std::uint32_t>(slot));
}

std::vector<std::vector<std::uint32_t>> MeshAssembler::TrianglesBySlot() const {
  std::vector<std::vector<std::uint32_t>> by_slot(slots_.size());
  for (std::uint32_t t = 0; t < slot_of_.size(); ++t) by_slot[slot_of_[t]].push_back(t);
  return by_slot;
}

// The normals a conversion gives the whole mesh, in the scene's axes: the
// mesh as the conversion makes it (y and z exchanged, corners reversed) in
// a model of its own.
std::vector<H3dsVert> MeshAssembler::WholeMeshNormals(
    const std::function<bool(const std::string&)>& double_sided) const {
  Model model;
  constexpr RGB kWhite{1, 1, 1, 1};
  for (const std::string& slot : slots_)
    model.OutGLAddMaterial(kWhite, kWhite, kWhite, slot, "", double_sided(slot) ? 1 : 0);
  for (const H3dsVert& p : positions_) model.OutGLAddVertex(VERTEX{0, 0, 0, 0, 0, p.x, p.z, p.y});
  for (std::size_t t = 0; t < slot_of_.size(); ++t)
    model.OutGLAddPolygon(TRIANGLE{corners_[3 * t], corners_[3 * t + 2], corners_[3 * t + 1]},
                          slots_[slot_of_[t]]);
  model.OutGLFinishModel(1);
  std::vector<H3dsVert> normals;
  normals.reserve(positions_.size());
  for (const VERTEX& v : model.VertexList()) normals.push_back({v.nx, v.nz, v.ny});
  return normals;
}

void MeshAssembler::Finish(ImportedScene& out,
                           const std::function<bool(const std::string&)>& double_sided) {
  if (corners_.empty()) return;
  if (positions_.size() <= kMostPerSceneMesh && Triangles() <= kMostPerSceneMesh)
    return FinishWhole(out);
  FinishSplit(out, keep_normals_ ? normals_ : WholeMeshNormals(double_sided));
}

// The mesh as one scene mesh: its vertices as they are, its triangles
// grouped by material (each material's in their order, the materials in
// order of first use).
void MeshAssembler::FinishWhole(ImportedScene& out) {
  H3dsMeshObj mesh;
  mesh.name = name_;
  std::vector<std::size_t> next(slots_.size() + 1, 0);
  for (const std::uint32_t slot : slot_of_) ++next[slot + 1];
  for (std::size_t s = 0; s < slots_.size(); ++s) {
    const std::size_t count = next[s + 1];
    next[s + 1] += next[s];
    if (count == 0) continue;
    H3dsMatList& binding = mesh.bindings.emplace_back(H3dsMatList{slots_[s], {}});
    if (mesh.bindings.size() == 1 && !spare_.bindings.empty())
      binding.faces = std::move(spare_.bindings.front().faces);
    binding.faces.resize(count);
    for (std::size_t k = 0; k < count; ++k) binding.faces[k] = static_cast<uword>(next[s] + k);
  }
  mesh.facelist = std::move(spare_.facelist);
  mesh.facelist.resize(slot_of_.size());
  for (std::size_t t = 0; t < slot_of_.size(); ++t) {
    const std::uint32_t* corners = &corners_[3 * t];
    mesh.facelist[next[slot_of_[t]]++] =
        H3dsFace{static_cast<uword>(corners[0]), static_cast<uword>(corners[1]),
                 static_cast<uword>(corners[2]), 0};
  }
  mesh.vertlist = std::move(positions_);
  mesh.maplist = std::move(uvs_);
  out.scene.meshobjlist.push_back(std::move(mesh));
  out.normals.push_back(std::move(normals_));
}

// A mesh of more vertices or faces than a scene mesh holds, as several.
void MeshAssembler::FinishSplit(ImportedScene& out, const std::vector<H3dsVert>& normals) {
  const std::vector<std::vector<std::uint32_t>> by_slot = TrianglesBySlot();
  // Each scene mesh takes its vertices in order of first use.
  std::vector<std::uint32_t> local(positions_.size(), 0);
  std::vector<std::uint32_t> stamp(positions_.size(), 0);
  std::uint32_t part = 0;
  H3dsMeshObj mesh;
  std::vector<H3dsVert> mesh_normals;
  const auto start = [&] {
    ++part;
    mesh = H3dsMeshObj();
    mesh.name = name_;
    mesh_normals.clear();
  };
  const auto emit = [&] {
    out.scene.meshobjlist.push_back(std::move(mesh));
    out.normals.push_back(std::move(mesh_normals));
  };
  start();
  for (std::size_t s = 0; s < by_slot.size(); ++s) {
    // Each scene mesh holds one material, split where the BMF writer splits
    // the material's blocks, so that the blocks' vertices are those of the
    // whole mesh.
    if (!mesh.facelist.empty() && !by_slot[s].empty()) {
      emit();
      start();
    }
    for (const std::uint32_t t : by_slot[s]) {
      const std::uint32_t* corners = &corners_[3 * t];
      std::size_t fresh = 0;
      for (int c = 0; c < 3; ++c)
        if (stamp[corners[c]] != part && std::find(corners, corners + c, corners[c]) == corners + c)
          ++fresh;
      if (mesh.vertlist.size() + fresh > kMostPerSceneMesh ||
          mesh.facelist.size() == kMostPerSceneMesh) {
        emit();
        start();
      }
      uword face[3];
      for (int c = 0; c < 3; ++c) {
        const std::uint32_t v = corners[c];
        if (stamp[v] != part) {
          stamp[v] = part;
          local[v] = static_cast<std::uint32_t>(mesh.vertlist.size());
          mesh.vertlist.push_back(positions_[v]);
          mesh.maplist.push_back(uvs_[v]);
          mesh_normals.push_back(normals[v]);
        }
        face[c] = static_cast<uword>(local[v]);
      }
      if (mesh.bindings.empty() || mesh.bindings.back().name != slots_[s])
        mesh.bindings.push_back(H3dsMatList{slots_[s], {}});
      mesh.bindings.back().faces.push_back(static_cast<uword>(mesh.facelist.size()));
      mesh.facelist.push_back(H3dsFace{face[0], face[1], face[2], 0});
    }
  }
  emit();
}

}  // namespace torvik::import
