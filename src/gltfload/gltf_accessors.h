// An accessor's elements, read only after every number that locates them
// (accessor, buffer view, stride, count, offsets) has been checked against
// the buffer that holds them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "gltf_load.h"

namespace torvik::gltfload {

// What an accessor is read as.
enum class AccessorUse {
  positions,  // VEC3 of floats
  normals,    // VEC3 of floats
  texcoords,  // VEC2 of floats, or of normalized unsigned bytes or shorts
  indices,    // SCALAR of unsigned bytes, shorts or ints
};

class AccessorReader {
 public:
  // Checks accessor `index` for `use`; `pointer` is where the glTF uses it
  // ("/meshes/0/primitives/1/attributes/POSITION"), for the messages.
  // Throws ImportError.
  AccessorReader(const LoadedGltf& gltf, int index, AccessorUse use, const std::string& pointer);

  std::size_t Count() const { return count_; }
  std::array<float, 3> Vec3(std::size_t i) const;
  std::array<float, 2> Vec2(std::size_t i) const;
  std::uint32_t Index(std::size_t i) const;

 private:
  const unsigned char* data_ = nullptr;  // the first element
  std::size_t stride_ = 0;
  std::size_t count_ = 0;
  int component_type_ = 0;
};

}  // namespace torvik::gltfload
