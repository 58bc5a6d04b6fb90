// Triangle-mesh chunks: vertices, faces, texture coordinates, the local-axis
// matrix and the face-material groups of one mesh object.
#include <optional>
#include <string>
#include <utility>

#include "base/little_endian.h"
#include "chunk_reader.h"
#include "mesh_check.h"

namespace torvik {

namespace {
constexpr uword kVertexList = 0x4110;
constexpr uword kFaceList = 0x4120;
constexpr uword kFaceMaterial = 0x4130;
constexpr uword kMappingList = 0x4140;
constexpr uword kSmoothingGroups = 0x4150;
constexpr uword kLocalAxes = 0x4160;
}  // namespace

void ChunkReader::ReadTriMeshBlocks(std::int32_t p, const std::string& name) {
  H3dsMeshObj& meshobj = scene_.meshobjlist.emplace_back();
  meshobj.name = name;
  mesh_name_ = &meshobj.name;
  pending_vertices_ = pending_faces_ = pending_maps_ = PendingList{};
  bool found_facemat = false;
  const ChunkHeader mesh_chunk = chunk_;
  // Faces of a face list are followed by its sub-chunks, which this loop then
  // reads as if they stood beside the face list: that is how the face-material
  // groups are met.
  ChunkLoop(p, [&](const ChunkHeader& chunk) {
    switch (chunk.id) {
      case kVertexList:
        ReadVertList(meshobj);
        return true;
      case kFaceList:
        ReadFaceList(meshobj);
        return true;
      case kFaceMaterial:
        ReadFaceMaterial(meshobj);
        found_facemat = true;
        return true;
      case kMappingList:
        ReadMapList(meshobj);
        return true;
      case kLocalAxes:
        ReadTraMatrix(meshobj);
        return true;
      case kSmoothingGroups:
        if (!options_.smoothing_groups) return false;
        ReadSmoothingGroups(meshobj, chunk);
        return true;
      default:
        return false;
    }
  });
  chunk_ = mesh_chunk;
  if (!found_facemat) {
    scene_.defaultmaterialwarning = true;
    ReadDefaultMaterial(meshobj);
  }
  // Checked when the mesh chunk ends, against its final lists, so the lists
  // may come in any order.
  finisher_.Add(MeshTask{scene_.meshobjlist.size() - 1, std::move(meshobj), pending_vertices_,
                         pending_faces_, pending_maps_, chunk_.id, chunk_.start, dgetpos()});
  mesh_name_ = nullptr;
}

// The three large lists are only found here; MeshFinisher decodes them.
void ChunkReader::ReadVertList(H3dsMeshObj&) {
  const std::size_t count = read_u16("vertex count");
  need(count, 12, "vertex list");
  pending_vertices_ = PendingList{dread(count * 12, "vertex list"), count};
}

void ChunkReader::ReadFaceList(H3dsMeshObj&) {
  const std::size_t count = read_u16("face count");
  need(count, 8, "face list");
  pending_faces_ = PendingList{dread(count * 8, "face list"), count};
}

void ChunkReader::ReadMapList(H3dsMeshObj&) {
  const std::size_t count = read_u16("mapping count");
  need(count, 8, "mapping list");
  pending_maps_ = PendingList{dread(count * 8, "mapping list"), count};
}

void ChunkReader::ReadTraMatrix(H3dsMeshObj& meshobj) {
  const byte* data = dread(48, "local-axis matrix");
  for (int i = 0; i < 12; ++i) meshobj.TraMatrix[i] = load_f32(data + 4 * i);
  meshobj.matrix = 1;
}

void ChunkReader::ReadFaceMaterial(H3dsMeshObj& meshobj) {
  H3dsMatList binding;
  binding.name = ReadName("face-material name");
  const std::size_t count = read_u16("face-material count");
  need(count, 2, "face-material group");
  const byte* data = dread(count * 2, "face-material group");
  binding.faces.resize(count);
  for (std::size_t i = 0; i < count; ++i) binding.faces[i] = load_u16(data + 2 * i);
  meshobj.bindings.push_back(std::move(binding));
}

// Binds every face of the mesh to the default material.
void ChunkReader::ReadDefaultMaterial(H3dsMeshObj& meshobj) {
  H3dsMatList& binding = meshobj.bindings.emplace_back();
  binding.name = kDefaultMaterialName;
  const std::size_t nf = pending_faces_.count;
  binding.faces.resize(nf);
  for (std::size_t i = 0; i < nf; ++i) binding.faces[i] = static_cast<uword>(i);
}

// One mask per face of the face list just read, filling the chunk exactly.
void ChunkReader::ReadSmoothingGroups(H3dsMeshObj& meshobj, const ChunkHeader& chunk) {
  const std::size_t faces = pending_faces_.count;
  const std::size_t body = static_cast<std::size_t>(chunk.end - chunk.start) - 6;
  if (body != 4 * faces)
    Fail(Context("smoothing groups") + " hold " + std::to_string(body) + " bytes, but " +
             std::to_string(faces) + " faces need " + std::to_string(4 * faces),
         dgetpos());
  need(faces, 4, "smoothing groups");
  const byte* data = dread(4 * faces, "smoothing groups");
  meshobj.smoothing.resize(faces);
  for (std::size_t i = 0; i < faces; ++i) meshobj.smoothing[i] = load_u32(data + 4 * i);
}

std::optional<std::string> FindMeshFault(const H3dsMeshObj& meshobj, const NameDecoder& names) {
  const auto mesh = [&] { return "mesh '" + ShownName(meshobj.name, names) + "'"; };
  const std::size_t num_verts = meshobj.vertlist.size();
  const std::size_t num_faces = meshobj.facelist.size();
  for (std::size_t i = 0; i < num_faces; ++i) {
    const H3dsFace& face = meshobj.facelist[i];
    for (const uword corner : {face.p0, face.p1, face.p2}) {
      if (corner >= num_verts)
        return "face " + std::to_string(i) + " of " + mesh() + " uses vertex " +
               std::to_string(corner) + ", but the mesh has " + std::to_string(num_verts) +
               " vertices";
    }
  }
  if (!meshobj.smoothing.empty() && meshobj.smoothing.size() != num_faces)
    return mesh() + " has " + std::to_string(meshobj.smoothing.size()) + " smoothing groups for " +
           std::to_string(num_faces) + " faces";
  for (const H3dsMatList& binding : meshobj.bindings) {
    for (const uword face : binding.faces) {
      if (face >= num_faces)
        return "material group '" + ShownName(binding.name, names) + "' of " + mesh() +
               " lists face " + std::to_string(face) + ", but the mesh has " +
               std::to_string(num_faces) + " faces";
    }
  }
  return std::nullopt;
}

}  // namespace torvik
