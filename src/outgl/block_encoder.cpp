#include "block_encoder.h"

#include <cstring>
#include <new>
#include <span>
#include <stdexcept>
#include <string>

#include "torvik32c/errors.h"

namespace torvik {

namespace {

byte* Store16(byte* p, std::size_t value) {
  p[0] = static_cast<byte>(value & 0xFF);
  p[1] = static_cast<byte>((value >> 8) & 0xFF);
  return p + 2;
}

byte* Store32(byte* p, float32 value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  p[0] = static_cast<byte>(bits);
  p[1] = static_cast<byte>(bits >> 8);
  p[2] = static_cast<byte>(bits >> 16);
  p[3] = static_cast<byte>(bits >> 24);
  return p + 4;
}

byte* StoreColor(byte* p, const RGB& c) {
  for (const float32 f : {c.red, c.green, c.blue, c.alpha}) p = Store32(p, f);
  return p;
}

// The texture name as stored: with its terminating zero, "" for none.
std::size_t StoredNameBytes(const POLYGONLIST& material) { return material.texturename.size() + 1; }

// Asks `triangle_order` for the order of the crunched block's triangles, and
// checks that it names each of them once.
std::vector<std::uint32_t> ChooseOrder(const TriangleOrder& triangle_order, std::size_t number,
                                       const std::vector<BMF_UNVERTEX>& CrunchedVertex,
                                       const std::vector<BMF_SURFACE>& CrunchedIndex) {
  std::vector<std::uint32_t> corners;
  corners.reserve(3 * CrunchedIndex.size());
  for (const BMF_SURFACE& s : CrunchedIndex) corners.insert(corners.end(), {s.p0, s.p1, s.p2});
  std::vector<float32> positions;
  positions.reserve(3 * CrunchedVertex.size());
  for (const BMF_UNVERTEX& v : CrunchedVertex) positions.insert(positions.end(), {v.x, v.y, v.z});
  std::vector<std::uint32_t> order =
      triangle_order(BlockTriangles{corners, positions, CrunchedVertex.size()});
  std::vector<bool> named(CrunchedIndex.size(), false);
  bool permutation = order.size() == CrunchedIndex.size();
  for (std::size_t i = 0; permutation && i < order.size(); ++i) {
    permutation = order[i] < named.size() && !named[order[i]];
    if (permutation) named[order[i]] = true;
  }
  if (!permutation)
    throw Error(Error::Kind::invalid_model,
                "the triangle order chosen for block " + std::to_string(number) +
                    " does not name each of its " + std::to_string(CrunchedIndex.size()) +
                    " triangles once");
  return order;
}

// Puts the crunched triangles in `order` and renumbers their vertices in
// first-use order of it.
void Reorder(std::span<const std::uint32_t> order, std::vector<BMF_UNVERTEX>& CrunchedVertex,
             std::vector<BMF_SURFACE>& CrunchedIndex) {
  constexpr std::uint32_t kUnplaced = UINT32_MAX;
  std::vector<std::uint32_t> slot(CrunchedVertex.size(), kUnplaced);
  std::vector<BMF_UNVERTEX> vertices;
  std::vector<BMF_SURFACE> triangles;
  vertices.reserve(CrunchedVertex.size());
  triangles.reserve(CrunchedIndex.size());
  for (const std::uint32_t t : order) {
    uword corners[3] = {CrunchedIndex[t].p0, CrunchedIndex[t].p1, CrunchedIndex[t].p2};
    for (uword& corner : corners) {
      if (slot[corner] == kUnplaced) {
        slot[corner] = static_cast<std::uint32_t>(vertices.size());
        vertices.push_back(CrunchedVertex[corner]);
      }
      corner = static_cast<uword>(slot[corner]);
    }
    triangles.push_back(BMF_SURFACE{corners[0], corners[1], corners[2]});
  }
  CrunchedVertex.swap(vertices);
  CrunchedIndex.swap(triangles);
}

}  // namespace

std::size_t BlockBytes(const Model& model, const Block& block) {
  return 2 + StoredNameBytes(model.PolyList()[block.material]) + 3 * 16 + 2 + 32 * block.vertices +
         2 + 6 * (block.last - block.first);
}

BlockEncoder::BlockEncoder(TranslateTable translate, std::size_t largest_vertices,
                           std::size_t largest_triangles)
    : table(std::move(translate)) {
  try {
    CrunchedIndex.reserve(largest_triangles);
  } catch (const std::bad_alloc&) {
    throw WriterOutOfMemory("Error allocating memory for CrunchedIndex");
  }
  try {
    CrunchedVertex.reserve(largest_vertices);
  } catch (const std::bad_alloc&) {
    throw WriterOutOfMemory("Error allocating memory for CrunchedVertex");
  }
}

void BlockEncoder::Crunch(const Model& model, const Block& block) {
  const std::vector<SURFACE>& triangles = model.PolyList()[block.material].TriangleIndexList;
  CrunchedVertex.clear();
  CrunchedIndex.clear();
  table.NextBlock();
  for (std::size_t t = block.first; t < block.last; ++t) {
    const SURFACE& s = triangles[t];
    uword corners[3];
    const dword model_corners[3] = {s.p0, s.p1, s.p2};
    for (int c = 0; c < 3; ++c) {
      const dword w = model_corners[c];
      if (!table.Placed(w)) {
        const VERTEX& v = model.VertexList()[w];
        table.Place(w, static_cast<uword>(CrunchedVertex.size()));
        CrunchedVertex.push_back(BMF_UNVERTEX{v.u, v.v, v.nx, v.ny, v.nz, v.x, v.y, v.z});
      }
      corners[c] = table.Slot(w);
    }
    CrunchedIndex.push_back(BMF_SURFACE{corners[0], corners[1], corners[2]});
  }
}

void BlockEncoder::Encode(const Model& model, const Block& block, std::size_t number,
                          const BmfWriteOptions& options, byte* out) {
  const POLYGONLIST& material = model.PolyList()[block.material];
  const std::size_t name_bytes = StoredNameBytes(material);
  if (name_bytes > kBmfMaxCount)
    throw ModelTooLarge("a texture name is longer than a BMF file holds");

  Crunch(model, block);
  if (options.triangle_order && !CrunchedIndex.empty())
    Reorder(ChooseOrder(options.triangle_order, number, CrunchedVertex, CrunchedIndex),
            CrunchedVertex, CrunchedIndex);
  if (CrunchedVertex.size() != block.vertices)
    throw std::logic_error("the writer's plan and its block disagree on the vertex count");

  byte* p = Store16(out, name_bytes);
  std::memcpy(p, material.texturename.c_str(), name_bytes);
  p += name_bytes;
  p = StoreColor(p, material.ambient);
  p = StoreColor(p, material.diffuse);
  p = StoreColor(p, material.specular);
  p = Store16(p, CrunchedVertex.size());
  for (const BMF_UNVERTEX& v : CrunchedVertex)
    for (const float32 f : {v.u, v.v, v.i, v.j, v.k, v.x, v.y, v.z}) p = Store32(p, f);
  p = Store16(p, CrunchedIndex.size());
  for (const BMF_SURFACE& s : CrunchedIndex) {
    p = Store16(p, s.p0);
    p = Store16(p, s.p1);
    p = Store16(p, s.p2);
  }
}

}  // namespace torvik
