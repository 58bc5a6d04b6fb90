// Builds 3DS byte streams chunk by chunk.  Tests state their input with it,
// and it makes the shipped sample, the fuzz seeds and the benchmark models.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace t3ds {

// Low level: nested chunks whose lengths are filled in when they end.
class ChunkWriter {
 public:
  ChunkWriter& begin(std::uint16_t id);
  ChunkWriter& end();
  // A chunk with no body.
  ChunkWriter& empty(std::uint16_t id) { return begin(id).end(); }
  // A header with a length of one's choosing and no body written.
  ChunkWriter& header(std::uint16_t id, std::uint32_t length);

  ChunkWriter& u8(std::uint8_t value);
  ChunkWriter& u16(std::uint16_t value);
  ChunkWriter& u32(std::uint32_t value);
  ChunkWriter& f32(float value);
  ChunkWriter& str(std::string_view text);  // the characters and a zero byte
  ChunkWriter& raw(const std::vector<std::uint8_t>& bytes);

  std::size_t size() const { return bytes_.size(); }
  // All chunks must have ended.
  const std::vector<std::uint8_t>& bytes() const;

 private:
  std::vector<std::uint8_t> bytes_;
  std::vector<std::size_t> open_;
};

using Vec3 = std::array<float, 3>;
using Vec2 = std::array<float, 2>;

struct Face {
  std::uint16_t a, b, c;
  std::uint16_t flags = 0;
};

struct FaceGroup {
  std::string material;
  std::vector<std::uint16_t> faces;
};

// A triangle mesh in the file's own axes.
struct Mesh {
  std::string name;
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  std::vector<Vec2> uvs;                      // none: no mapping chunk
  std::vector<FaceGroup> groups;              // written inside the face list
  std::vector<std::uint32_t> smoothing = {};  // one mask per face; none: no chunk
  bool write_matrix = false;                  // an identity local-axis matrix
  // A local-axis matrix of one's choosing (x, y and z axes, then the
  // origin), written instead of the identity.
  std::optional<std::array<float, 12>> matrix = {};
};

struct Color {
  float r, g, b;
};

// A map chunk of a material (texture 1 0xA200, opacity 0xA210, bump 0xA230,
// ...) with the sub-chunks given.
struct MapChunk {
  std::uint16_t id = 0xA200;
  std::string name = {};                              // 0xA300; empty: no name chunk
  std::optional<std::int16_t> percent = {};           // 0x0030
  std::optional<float> float_percent = {};            // 0x0031
  std::optional<std::uint16_t> tiling = {};           // 0xA351
  std::optional<float> blur = {};                     // 0xA353
  std::optional<float> u_scale = {}, v_scale = {};    // 0xA354, 0xA356
  std::optional<float> u_offset = {}, v_offset = {};  // 0xA358, 0xA35A
  std::optional<float> rotation = {};                 // 0xA35C, degrees
};

struct Material {
  std::string name;
  std::optional<Color> ambient, diffuse, specular;  // written as float colours
  std::optional<std::int16_t> transparency;         // percent
  bool two_sided = false;
  std::string texture = {};  // empty: no texture map
  // Percentages of shininess (0xA040), its strength (0xA041) and
  // self-illumination (0xA084).
  std::optional<std::int16_t> shininess = {}, shininess_strength = {}, self_illumination = {};
  std::vector<MapChunk> maps = {};  // written after the texture's chunk
};

// A key of a track of several keys.
template <std::size_t N>
struct Key {
  std::uint32_t frame = 0;
  std::array<float, N> value{};
  // Tension, continuity, bias, ease to and ease from: each one that is not 0
  // is written, with its flag bit.
  std::array<float, 5> spline = {};
};

// One node of the keyframer: an object node, or with `kind` a camera
// (0xB003), camera target (0xB004), light (0xB005), spotlight target
// (0xB006) or spotlight (0xB007) node.  A track is written with one key at
// frame 0 from the single value, or with the keys given instead.
struct Node {
  std::uint16_t id = 0;
  std::string name;  // the mesh's name, or "$$$DUMMY"
  std::uint16_t parent = 0xFFFF;
  std::string instance = {};  // empty: no instance-name chunk
  std::optional<Vec3> pivot = {};
  std::optional<Vec3> position = {};
  std::optional<std::array<float, 4>> rotation = {};  // angle (radians), then the axis
  std::optional<Vec3> scale = {};
  // Flag bits of each key: one spline float follows the key header per bit.
  std::uint16_t key_flags = 0;
  std::uint16_t kind = 0xB002;
  std::vector<Key<3>> position_keys = {};
  std::vector<Key<4>> rotation_keys = {};  // angle (radians), then the axis
  std::vector<Key<3>> scale_keys = {};
  std::vector<Key<1>> fov_keys = {};      // degrees
  std::vector<Key<1>> roll_keys = {};     // degrees
  std::vector<Key<3>> color_keys = {};    // a light's colour
  std::vector<Key<1>> hotspot_keys = {};  // a spotlight's, degrees
  std::vector<Key<1>> falloff_keys = {};  // a spotlight's, degrees
  std::vector<std::uint32_t> hide_frames = {};
  std::uint16_t track_flags = 0;  // the flag word of every track written
};

// A camera object (0x4700) of the mesh editor.
struct Camera {
  std::string name;
  Vec3 position{}, target{};
  float roll = 0;   // degrees
  float lens = 50;  // millimetres
};

// A light object (0x4600) of the mesh editor; a spotlight with `spot`.
struct Light {
  std::string name;
  Vec3 position{};
  Color color{1, 1, 1};
  std::optional<float> multiplier = {};  // 0x465B
  bool off = false;                      // 0x4620
  bool attenuated = false;               // 0x4625, with the ranges 0x4659 and 0x465A
  float inner_range = 0, outer_range = 0;
  bool spot = false;  // 0x4610
  Vec3 target{};
  float hotspot = 0, falloff = 0;  // degrees
};

// Writes one object block (0x4000) holding the mesh.
void WriteObject(ChunkWriter& out, const Mesh& mesh);
// Writes one material block (0xAFFF).
void WriteMaterial(ChunkWriter& out, const Material& material);
// Writes one map chunk.
void WriteMapChunk(ChunkWriter& out, const MapChunk& map);
// Writes bytes to a file; on failure prints why (naming the file) to
// standard error and returns false.
bool SaveFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Writes one node (0xB002 unless its kind says otherwise).
void WriteNode(ChunkWriter& out, const Node& node);
// Writes one object block (0x4000) holding the camera or light.
void WriteCamera(ChunkWriter& out, const Camera& camera);
void WriteLight(ChunkWriter& out, const Light& light);

// A whole file: main chunk, editor chunk, materials, then objects, and a
// keyframer (0xB000) with the nodes when there are any.
std::vector<std::uint8_t> BuildFile(const std::vector<Material>& materials,
                                    const std::vector<Mesh>& meshes,
                                    const std::vector<Node>& nodes = {});

// What a whole file may hold besides materials, meshes and nodes: cameras
// and lights after the meshes, and the keyframer's frame range (0xB008).
struct SceneExtras {
  std::vector<Camera> cameras = {};
  std::vector<Light> lights = {};
  std::optional<std::array<std::uint32_t, 2>> frames = {};
};

std::vector<std::uint8_t> BuildFile(const std::vector<Material>& materials,
                                    const std::vector<Mesh>& meshes, const std::vector<Node>& nodes,
                                    const SceneExtras& extras);

}  // namespace t3ds
