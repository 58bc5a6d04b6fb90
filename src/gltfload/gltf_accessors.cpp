#include "gltf_accessors.h"

#include <cstring>

#include "gltf_container.h"

namespace torvik::gltfload {

namespace {

[[noreturn]] void Fail(const std::string& where, const std::string& problem) {
  throw ImportError(kGltf, where, problem);
}

std::size_t ComponentSize(int type) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
      return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
      return 2;
    case TINYGLTF_COMPONENT_TYPE_INT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
      return 4;
    default:
      return 0;
  }
}

// Whether `use` reads elements of `type` and `component`, and how many
// components an element has.
std::size_t ComponentsFor(AccessorUse use, int type, int component, bool normalized) {
  switch (use) {
    case AccessorUse::positions:
    case AccessorUse::normals:
      return type == TINYGLTF_TYPE_VEC3 && component == TINYGLTF_COMPONENT_TYPE_FLOAT ? 3 : 0;
    case AccessorUse::texcoords:
      if (type != TINYGLTF_TYPE_VEC2) return 0;
      if (component == TINYGLTF_COMPONENT_TYPE_FLOAT) return 2;
      return normalized && (component == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                            component == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT)
                 ? 2
                 : 0;
    case AccessorUse::indices:
      return type == TINYGLTF_TYPE_SCALAR && (component == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                                              component == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ||
                                              component == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
                 ? 1
                 : 0;
  }
  return 0;
}

const char* UseName(AccessorUse use) {
  switch (use) {
    case AccessorUse::positions:
      return "positions (VEC3 of floats)";
    case AccessorUse::normals:
      return "normals (VEC3 of floats)";
    case AccessorUse::texcoords:
      return "texture coordinates (VEC2 of floats, or normalized unsigned bytes or shorts)";
    case AccessorUse::indices:
      return "indices (SCALAR of unsigned bytes, shorts or ints)";
  }
  return "";
}

float Normalised(const unsigned char* p, int component) {
  if (component == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) return static_cast<float>(*p) / 255.0f;
  std::uint16_t value;
  std::memcpy(&value, p, 2);
  return static_cast<float>(value) / 65535.0f;
}

}  // namespace

AccessorReader::AccessorReader(const LoadedGltf& gltf, int index, AccessorUse use,
                               const std::string& pointer) {
  const tinygltf::Model& model = gltf.model;
  if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size())
    Fail(pointer, "names accessor " + std::to_string(index) + ", which the glTF lacks");
  const std::string at = "/accessors/" + std::to_string(index);
  const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(index)];
  const std::size_t components =
      ComponentsFor(use, accessor.type, accessor.componentType, accessor.normalized);
  if (components == 0)
    Fail(pointer, "accessor " + std::to_string(index) + " is no " + UseName(use));
  if (accessor.sparse.isSparse) Fail(at, "sparse accessors are not read");
  count_ = accessor.count;
  component_type_ = accessor.componentType;
  if (count_ == 0) return;
  if (accessor.bufferView < 0 ||
      static_cast<std::size_t>(accessor.bufferView) >= model.bufferViews.size())
    Fail(at, "names buffer view " + std::to_string(accessor.bufferView) + ", which the glTF lacks");
  const std::string view_at = "/bufferViews/" + std::to_string(accessor.bufferView);
  const tinygltf::BufferView& view =
      model.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
  if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= gltf.buffers.size())
    Fail(view_at, "names buffer " + std::to_string(view.buffer) + ", which the glTF lacks");
  const std::span<const unsigned char> buffer = gltf.buffers[static_cast<std::size_t>(view.buffer)];
  const std::size_t size = components * ComponentSize(accessor.componentType);
  stride_ = view.byteStride == 0 ? size : view.byteStride;
  if (stride_ < size)
    Fail(view_at, "its byteStride of " + std::to_string(view.byteStride) + " is less than the " +
                      std::to_string(size) + " bytes of an element of accessor " +
                      std::to_string(index));
  if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset)
    Fail(view_at, "its bytes " + std::to_string(view.byteOffset) + " to " +
                      std::to_string(view.byteOffset + view.byteLength) +
                      " lie past the end of buffer " + std::to_string(view.buffer) + " (" +
                      std::to_string(buffer.size()) + " bytes)");
  // The last element ends at offset + (count - 1) * stride + size, which
  // must lie within the view; computed without overflow.
  const std::size_t room = view.byteLength;
  if (accessor.byteOffset > room || size > room - accessor.byteOffset ||
      count_ - 1 > (room - accessor.byteOffset - size) / stride_)
    Fail(at, std::to_string(count_) + " elements of " + std::to_string(size) + " bytes every " +
                 std::to_string(stride_) + " from byte " + std::to_string(accessor.byteOffset) +
                 " do not fit in the " + std::to_string(room) + " bytes of buffer view " +
                 std::to_string(accessor.bufferView));
  data_ = buffer.data() + view.byteOffset + accessor.byteOffset;
}

std::array<float, 3> AccessorReader::Vec3(std::size_t i) const {
  std::array<float, 3> value;
  std::memcpy(value.data(), data_ + i * stride_, sizeof value);
  return value;
}

std::array<float, 2> AccessorReader::Vec2(std::size_t i) const {
  const unsigned char* p = data_ + i * stride_;
  std::array<float, 2> value;
  if (component_type_ == TINYGLTF_COMPONENT_TYPE_FLOAT) {
    std::memcpy(value.data(), p, sizeof value);
    return value;
  }
  const std::size_t step = ComponentSize(component_type_);
  return {Normalised(p, component_type_), Normalised(p + step, component_type_)};
}

std::uint32_t AccessorReader::Index(std::size_t i) const {
  const unsigned char* p = data_ + i * stride_;
  if (component_type_ == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) return *p;
  if (component_type_ == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
    std::uint16_t value;
    std::memcpy(&value, p, 2);
    return value;
  }
  std::uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}

}  // namespace torvik::gltfload
