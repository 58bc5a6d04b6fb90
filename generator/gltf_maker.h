// Small glTF files for the tests and the fuzz seeds: accessors over one
// buffer, written as a .gltf whose buffer is a data: URI or as a .glb.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace t3ds {

class GltfMaker {
 public:
  GltfMaker();

  // An accessor of `components` floats per element (VEC2 or VEC3).
  int Floats(const std::vector<float>& values, int components);
  // An accessor of unsigned int indices.
  int Indices(const std::vector<std::uint32_t>& indices);
  // A buffer view of raw bytes (an image).
  int View(const std::vector<std::uint8_t>& bytes);
  // A mesh of one primitive; returns the mesh's index.
  int Mesh(int positions, int indices, int material = -1, int mode = 4);
  // A node drawing `mesh` (-1: none) at `matrix` (16 numbers; empty: none).
  int Node(int mesh, const std::vector<double>& matrix = {}, const std::string& name = {});
  // The scene's root nodes.
  void Scene(const std::vector<int>& roots);

  nlohmann::json json;

  std::vector<std::uint8_t> Text() const;    // the .gltf, its buffer a data: URI
  std::vector<std::uint8_t> Binary() const;  // the .glb
  const std::vector<std::uint8_t>& buffer() const { return buffer_; }

 private:
  int Add(const char* array, nlohmann::json element);
  std::vector<std::uint8_t> buffer_;
};

// A glTF of one triangle (0,0,0), (1,0,0), (0,1,0) of material `material`.
GltfMaker OneTriangle(int material = -1);

}  // namespace t3ds
