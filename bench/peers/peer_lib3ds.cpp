// peer_lib3ds IN.3ds OUT: the same job through lib3ds 1.3 — load the file,
// compute vertex normals, write positions, normals and indices.
#include <lib3ds/file.h>
#include <lib3ds/mesh.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "peer_output.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: peer_lib3ds INPUT.3ds OUTPUT\n");
    return 2;
  }
  Lib3dsFile* file = lib3ds_file_load(argv[1]);
  if (file == nullptr) {
    std::fprintf(stderr, "peer_lib3ds: can't load %s\n", argv[1]);
    return 1;
  }
  PeerOutput out(argv[2]);
  std::vector<std::uint32_t> indices;
  for (Lib3dsMesh* mesh = file->meshes; mesh != nullptr; mesh = mesh->next) {
    if (mesh->points == 0 || mesh->faces == 0) continue;
    // lib3ds smooths only across faces that share a smoothing group, and the
    // benchmark models have none; one group for all faces gives smooth vertex
    // normals over the whole mesh, which is what our converter computes.
    for (Lib3dsDword f = 0; f < mesh->faces; ++f)
      if (mesh->faceL[f].smoothing == 0) mesh->faceL[f].smoothing = 1;
    // One normal per face corner.
    std::unique_ptr<Lib3dsVector[]> normals(new Lib3dsVector[3 * mesh->faces]);
    lib3ds_mesh_calculate_normals(mesh, normals.get());
    out.Floats(&mesh->pointL[0].pos[0], 3 * static_cast<std::size_t>(mesh->points));
    out.Floats(&normals[0][0], 9 * static_cast<std::size_t>(mesh->faces));
    indices.clear();
    for (Lib3dsDword f = 0; f < mesh->faces; ++f)
      for (int c = 0; c < 3; ++c) indices.push_back(mesh->faceL[f].points[c]);
    out.Indices(indices);
  }
  lib3ds_file_free(file);
  if (!out.Close()) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
