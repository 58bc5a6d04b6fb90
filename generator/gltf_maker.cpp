#include "gltf_maker.h"

#include <cstring>

namespace t3ds {

namespace {

std::string Base64(const std::vector<std::uint8_t>& bytes) {
  static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t n = (std::uint32_t{bytes[i]} << 16) |
                            (i + 1 < bytes.size() ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                            (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    text += kDigits[n >> 18];
    text += kDigits[(n >> 12) & 63];
    text += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    text += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
  }
  return text;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

GltfMaker::GltfMaker() { json = {{"asset", {{"version", "2.0"}}}}; }

int GltfMaker::Add(const char* array, nlohmann::json element) {
  json[array].push_back(std::move(element));
  return static_cast<int>(json[array].size() - 1);
}

int GltfMaker::View(const std::vector<std::uint8_t>& bytes) {
  while (buffer_.size() % 4 != 0) buffer_.push_back(0);
  const std::size_t offset = buffer_.size();
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  return Add("bufferViews", {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", bytes.size()}});
}

int GltfMaker::Floats(const std::vector<float>& values, int components) {
  std::vector<std::uint8_t> bytes(values.size() * 4);
  std::memcpy(bytes.data(), values.data(), bytes.size());
  return Add("accessors", {{"bufferView", View(bytes)},
                           {"componentType", 5126},
                           {"count", values.size() / static_cast<std::size_t>(components)},
                           {"type", components == 2 ? "VEC2" : "VEC3"}});
}

int GltfMaker::Indices(const std::vector<std::uint32_t>& indices) {
  std::vector<std::uint8_t> bytes(indices.size() * 4);
  std::memcpy(bytes.data(), indices.data(), bytes.size());
  return Add("accessors", {{"bufferView", View(bytes)},
                           {"componentType", 5125},
                           {"count", indices.size()},
                           {"type", "SCALAR"}});
}

int GltfMaker::Mesh(int positions, int indices, int material, int mode) {
  nlohmann::json primitive = {{"attributes", {{"POSITION", positions}}}, {"mode", mode}};
  if (indices >= 0) primitive["indices"] = indices;
  if (material >= 0) primitive["material"] = material;
  return Add("meshes", {{"primitives", {primitive}}});
}

int GltfMaker::Node(int mesh, const std::vector<double>& matrix, const std::string& name) {
  nlohmann::json node = nlohmann::json::object();
  if (mesh >= 0) node["mesh"] = mesh;
  if (!matrix.empty()) node["matrix"] = matrix;
  if (!name.empty()) node["name"] = name;
  return Add("nodes", node);
}

void GltfMaker::Scene(const std::vector<int>& roots) {
  json["scenes"] = {{{"nodes", roots}}};
  json["scene"] = 0;
}

std::vector<std::uint8_t> GltfMaker::Text() const {
  nlohmann::json copy = json;
  if (!buffer_.empty())
    copy["buffers"] = {{{"byteLength", buffer_.size()},
                        {"uri", "data:application/octet-stream;base64," + Base64(buffer_)}}};
  const std::string text = copy.dump();
  return {text.begin(), text.end()};
}

std::vector<std::uint8_t> GltfMaker::Binary() const {
  nlohmann::json copy = json;
  std::vector<std::uint8_t> bin = buffer_;
  while (bin.size() % 4 != 0) bin.push_back(0);
  if (!bin.empty()) copy["buffers"] = {{{"byteLength", buffer_.size()}}};
  std::string text = copy.dump();
  while (text.size() % 4 != 0) text += ' ';
  std::vector<std::uint8_t> glb = {'g', 'l', 'T', 'F'};
  PutU32(glb, 2);
  PutU32(glb,
         static_cast<std::uint32_t>(12 + 8 + text.size() + (bin.empty() ? 0 : 8 + bin.size())));
  PutU32(glb, static_cast<std::uint32_t>(text.size()));
  PutU32(glb, 0x4E4F534A);
  glb.insert(glb.end(), text.begin(), text.end());
  if (!bin.empty()) {
    PutU32(glb, static_cast<std::uint32_t>(bin.size()));
    PutU32(glb, 0x004E4942);
    glb.insert(glb.end(), bin.begin(), bin.end());
  }
  return glb;
}

GltfMaker OneTriangle(int material) {
  GltfMaker maker;
  const int positions = maker.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, 3);
  const int mesh = maker.Mesh(positions, maker.Indices({0, 1, 2}), material);
  maker.Scene({maker.Node(mesh)});
  return maker;
}

}  // namespace t3ds
