// peer_assimp IN.3ds OUT: the same job through Assimp — import with joined
// vertices, smooth normals and triangulation, write positions, normals and
// indices.
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "peer_output.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: peer_assimp INPUT.3ds OUTPUT\n");
    return 2;
  }
  Assimp::Importer importer;
  const aiScene* scene =
      importer.ReadFile(argv[1], aiProcess_JoinIdenticalVertices | aiProcess_GenSmoothNormals |
                                     aiProcess_Triangulate);
  if (scene == nullptr) {
    std::fprintf(stderr, "peer_assimp: can't import %s: %s\n", argv[1], importer.GetErrorString());
    return 1;
  }
  PeerOutput out(argv[2]);
  std::vector<std::uint32_t> indices;
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* mesh = scene->mMeshes[m];
    static_assert(sizeof(aiVector3D) == 3 * sizeof(float), "positions must be packed floats");
    out.Floats(&mesh->mVertices[0].x, 3 * static_cast<std::size_t>(mesh->mNumVertices));
    if (mesh->mNormals != nullptr)
      out.Floats(&mesh->mNormals[0].x, 3 * static_cast<std::size_t>(mesh->mNumVertices));
    indices.clear();
    for (unsigned f = 0; f < mesh->mNumFaces; ++f)
      for (unsigned c = 0; c < mesh->mFaces[f].mNumIndices; ++c)
        indices.push_back(mesh->mFaces[f].mIndices[c]);
    out.Indices(indices);
  }
  if (!out.Close()) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
