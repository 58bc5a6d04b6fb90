#include "threeds_builder.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace t3ds {

ChunkWriter& ChunkWriter::begin(std::uint16_t id) {
  open_.push_back(bytes_.size());
  u16(id);
  return u32(0);
}

ChunkWriter& ChunkWriter::end() {
  if (open_.empty()) throw std::logic_error("ChunkWriter::end without begin");
  const std::size_t start = open_.back();
  open_.pop_back();
  const auto length = static_cast<std::uint32_t>(bytes_.size() - start);
  for (int i = 0; i < 4; ++i) bytes_[start + 2 + i] = static_cast<std::uint8_t>(length >> (8 * i));
  return *this;
}

ChunkWriter& ChunkWriter::header(std::uint16_t id, std::uint32_t length) {
  return u16(id).u32(length);
}

ChunkWriter& ChunkWriter::u8(std::uint8_t value) {
  bytes_.push_back(value);
  return *this;
}

ChunkWriter& ChunkWriter::u16(std::uint16_t value) {
  bytes_.push_back(static_cast<std::uint8_t>(value));
  bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
  return *this;
}

ChunkWriter& ChunkWriter::u32(std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return *this;
}

ChunkWriter& ChunkWriter::f32(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return u32(bits);
}

ChunkWriter& ChunkWriter::str(std::string_view text) {
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  return u8(0);
}

ChunkWriter& ChunkWriter::raw(const std::vector<std::uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

const std::vector<std::uint8_t>& ChunkWriter::bytes() const {
  if (!open_.empty()) throw std::logic_error("ChunkWriter::bytes with chunks still open");
  return bytes_;
}

void WriteObject(ChunkWriter& out, const Mesh& mesh) {
  out.begin(0x4000).str(mesh.name);
  out.begin(0x4100);
  out.begin(0x4110).u16(static_cast<std::uint16_t>(mesh.vertices.size()));
  for (const Vec3& v : mesh.vertices) out.f32(v[0]).f32(v[1]).f32(v[2]);
  out.end();
  if (!mesh.uvs.empty()) {
    out.begin(0x4140).u16(static_cast<std::uint16_t>(mesh.uvs.size()));
    for (const Vec2& uv : mesh.uvs) out.f32(uv[0]).f32(uv[1]);
    out.end();
  }
  if (mesh.write_matrix || mesh.matrix) {
    out.begin(0x4160);
    const std::array<float, 12> identity = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (float f : mesh.matrix.value_or(identity)) out.f32(f);
    out.end();
  }
  out.begin(0x4120).u16(static_cast<std::uint16_t>(mesh.faces.size()));
  for (const Face& f : mesh.faces) out.u16(f.a).u16(f.b).u16(f.c).u16(f.flags);
  if (!mesh.smoothing.empty()) {
    out.begin(0x4150);
    for (std::uint32_t mask : mesh.smoothing) out.u32(mask);
    out.end();
  }
  for (const FaceGroup& group : mesh.groups) {
    out.begin(0x4130).str(group.material).u16(static_cast<std::uint16_t>(group.faces.size()));
    for (std::uint16_t face : group.faces) out.u16(face);
    out.end();
  }
  out.end();  // face list
  out.end();  // triangle mesh
  out.end();  // object block
}

namespace {
void WriteColor(ChunkWriter& out, std::uint16_t id, const Color& color) {
  out.begin(id).begin(0x0010).f32(color.r).f32(color.g).f32(color.b).end().end();
}

void WritePercentage(ChunkWriter& out, std::uint16_t id, std::optional<std::int16_t> percent) {
  if (percent) out.begin(id).begin(0x0030).u16(static_cast<std::uint16_t>(*percent)).end().end();
}
}  // namespace

void WriteMapChunk(ChunkWriter& out, const MapChunk& map) {
  out.begin(map.id);
  if (map.percent) out.begin(0x0030).u16(static_cast<std::uint16_t>(*map.percent)).end();
  if (map.float_percent) out.begin(0x0031).f32(*map.float_percent).end();
  if (!map.name.empty()) out.begin(0xA300).str(map.name).end();
  if (map.tiling) out.begin(0xA351).u16(*map.tiling).end();
  const std::pair<std::uint16_t, std::optional<float>> floats[] = {
      {0xA353, map.blur},     {0xA354, map.u_scale},  {0xA356, map.v_scale},
      {0xA358, map.u_offset}, {0xA35A, map.v_offset}, {0xA35C, map.rotation}};
  for (const auto& [id, value] : floats)
    if (value) out.begin(id).f32(*value).end();
  out.end();
}

void WriteMaterial(ChunkWriter& out, const Material& material) {
  out.begin(0xAFFF);
  out.begin(0xA000).str(material.name).end();
  if (material.ambient) WriteColor(out, 0xA010, *material.ambient);
  if (material.diffuse) WriteColor(out, 0xA020, *material.diffuse);
  if (material.specular) WriteColor(out, 0xA030, *material.specular);
  WritePercentage(out, 0xA040, material.shininess);
  WritePercentage(out, 0xA041, material.shininess_strength);
  WritePercentage(out, 0xA050, material.transparency);
  WritePercentage(out, 0xA084, material.self_illumination);
  if (material.two_sided) out.empty(0xA081);
  if (!material.texture.empty()) out.begin(0xA200).begin(0xA300).str(material.texture).end().end();
  for (const MapChunk& map : material.maps) WriteMapChunk(out, map);
  out.end();
}

namespace {
// A track with one key at frame 0: flags, 8 bytes no reader uses, the key
// count, then the key.
template <std::size_t N>
void WriteTrack(ChunkWriter& out, std::uint16_t id, const std::array<float, N>& value,
                std::uint16_t key_flags) {
  out.begin(id).u16(0).u32(0).u32(0).u32(1);
  out.u32(0).u16(key_flags);
  for (std::uint16_t bits = key_flags & 0x1F; bits != 0;
       bits &= static_cast<std::uint16_t>(bits - 1))
    out.f32(0);
  for (float f : value) out.f32(f);
  out.end();
}

// A track of the keys given, each with the spline values that are not 0.
template <std::size_t N>
void WriteKeys(ChunkWriter& out, std::uint16_t id, const std::vector<Key<N>>& keys,
               std::uint16_t track_flags) {
  out.begin(id).u16(track_flags).u32(0).u32(keys.empty() ? 0 : keys.back().frame);
  out.u32(static_cast<std::uint32_t>(keys.size()));
  for (const Key<N>& key : keys) {
    std::uint16_t flags = 0;
    for (std::size_t bit = 0; bit < key.spline.size(); ++bit)
      if (key.spline[bit] != 0) flags = static_cast<std::uint16_t>(flags | (1u << bit));
    out.u32(key.frame).u16(flags);
    for (const float value : key.spline)
      if (value != 0) out.f32(value);
    for (const float f : key.value) out.f32(f);
  }
  out.end();
}

template <std::size_t N>
void WriteTrackOf(ChunkWriter& out, std::uint16_t id,
                  const std::optional<std::array<float, N>>& one, const std::vector<Key<N>>& keys,
                  const Node& node) {
  if (!keys.empty())
    WriteKeys(out, id, keys, node.track_flags);
  else if (one)
    WriteTrack(out, id, *one, node.key_flags);
}
}  // namespace

void WriteNode(ChunkWriter& out, const Node& node) {
  out.begin(node.kind);
  out.begin(0xB030).u16(node.id).end();
  out.begin(0xB010).str(node.name).u16(0x4000).u16(0).u16(node.parent).end();
  if (!node.instance.empty()) out.begin(0xB011).str(node.instance).end();
  if (node.pivot)
    out.begin(0xB013).f32((*node.pivot)[0]).f32((*node.pivot)[1]).f32((*node.pivot)[2]).end();
  WriteTrackOf(out, 0xB020, node.position, node.position_keys, node);
  WriteTrackOf(out, 0xB021, node.rotation, node.rotation_keys, node);
  WriteTrackOf(out, 0xB022, node.scale, node.scale_keys, node);
  if (!node.fov_keys.empty()) WriteKeys(out, 0xB023, node.fov_keys, node.track_flags);
  if (!node.roll_keys.empty()) WriteKeys(out, 0xB024, node.roll_keys, node.track_flags);
  if (!node.color_keys.empty()) WriteKeys(out, 0xB025, node.color_keys, node.track_flags);
  if (!node.hotspot_keys.empty()) WriteKeys(out, 0xB027, node.hotspot_keys, node.track_flags);
  if (!node.falloff_keys.empty()) WriteKeys(out, 0xB028, node.falloff_keys, node.track_flags);
  if (!node.hide_frames.empty()) {
    std::vector<Key<0>> hide;
    for (const std::uint32_t frame : node.hide_frames) hide.push_back({.frame = frame});
    WriteKeys(out, 0xB029, hide, node.track_flags);
  }
  out.end();
}

namespace {
void WriteVec3(ChunkWriter& out, const Vec3& v) { out.f32(v[0]).f32(v[1]).f32(v[2]); }
}  // namespace

void WriteCamera(ChunkWriter& out, const Camera& camera) {
  out.begin(0x4000).str(camera.name).begin(0x4700);
  WriteVec3(out, camera.position);
  WriteVec3(out, camera.target);
  out.f32(camera.roll).f32(camera.lens);
  out.end().end();
}

void WriteLight(ChunkWriter& out, const Light& light) {
  out.begin(0x4000).str(light.name).begin(0x4600);
  WriteVec3(out, light.position);
  out.begin(0x0010).f32(light.color.r).f32(light.color.g).f32(light.color.b).end();
  if (light.spot) {
    out.begin(0x4610);
    WriteVec3(out, light.target);
    out.f32(light.hotspot).f32(light.falloff).end();
  }
  if (light.off) out.empty(0x4620);
  if (light.attenuated) out.empty(0x4625);
  if (light.attenuated) out.begin(0x4659).f32(light.inner_range).end();
  if (light.attenuated) out.begin(0x465A).f32(light.outer_range).end();
  if (light.multiplier) out.begin(0x465B).f32(*light.multiplier).end();
  out.end().end();
}

bool SaveFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::perror(path.c_str());
    return false;
  }
  return true;
}

std::vector<std::uint8_t> BuildFile(const std::vector<Material>& materials,
                                    const std::vector<Mesh>& meshes,
                                    const std::vector<Node>& nodes) {
  return BuildFile(materials, meshes, nodes, {});
}

std::vector<std::uint8_t> BuildFile(const std::vector<Material>& materials,
                                    const std::vector<Mesh>& meshes, const std::vector<Node>& nodes,
                                    const SceneExtras& extras) {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D);
  for (const Material& material : materials) WriteMaterial(out, material);
  for (const Mesh& mesh : meshes) WriteObject(out, mesh);
  for (const Camera& camera : extras.cameras) WriteCamera(out, camera);
  for (const Light& light : extras.lights) WriteLight(out, light);
  out.end();
  if (!nodes.empty() || extras.frames) {
    out.begin(0xB000);
    if (extras.frames) out.begin(0xB008).u32((*extras.frames)[0]).u32((*extras.frames)[1]).end();
    for (const Node& node : nodes) WriteNode(out, node);
    out.end();
  }
  out.end();
  return out.bytes();
}

}  // namespace t3ds
