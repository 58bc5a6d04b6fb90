// The keyframer (chunk 0xB000): the nodes that place the meshes at frame 0,
// with their hierarchy, pivots and instances, and the placement they give.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "torvik32c/export.h"
#include "torvik32c/name_text.h"
#include "torvik32c/types.h"

namespace torvik {

struct H3dsScene;

// The name of a node that only carries hierarchy.
inline constexpr const char* kDummyNodeName = "$$$DUMMY";

// The most nodes a keyframer can have: node ids are 16-bit, and two nodes
// with one id leave the keyframer unusable.  A keyframer of more nodes is
// ignored as it is read, with a warning, so that its nodes never take
// memory.
inline constexpr std::size_t kMaxKeyframerNodes = 65536;

// One node of the keyframer as stored.  An object node (chunk 0xB002) names a
// mesh, a dummy ("$$$DUMMY") names none; the nodes of cameras, lights and
// their targets (0xB001 to 0xB007) name none either: they are kept because
// object nodes may hang from them.  A camera or spotlight is turned to look
// at its target (the k-th camera or spotlight node of a name at the k-th
// target node of that name, before or after it, and a target under another
// parent where it stands in the world, seen from the camera's parent; a
// target that hangs below its own camera is left out, with a warning),
// rolled about that direction; any other such node by its position only.  Tracks give their
// first key only.  The fields are ordered to pack closely (136 bytes a node
// on 64-bit builds).
inline constexpr uword kObjectNodeChunk = 0xB002;

struct H3dsNode {
  uword kind = kObjectNodeChunk;  // the node's chunk: 0xB002 for an object node
  uword id = 0;  // 0xB030; without one, the node's place among the keyframer's nodes
  uword flags1 = 0, flags2 = 0;  // 0xB010
  uword parent = 0xFFFF;         // 0xB010: the parent's node id; 0xFFFF for none
  bool has_position = false;     // 0xB020
  bool has_rotation = false;     // 0xB021: angle in radians about the axis
  bool has_scale = false;        // 0xB022
  bool has_roll = false;         // 0xB024, cameras and spotlights: degrees
  float32 pivot[3] = {0, 0, 0};  // 0xB013
  float32 position[3] = {0, 0, 0};
  float32 rotation_angle = 0;
  float32 rotation_axis[3] = {0, 0, 0};
  float32 scale[3] = {1, 1, 1};
  float32 roll = 0;
  std::string name;      // 0xB010: the mesh's object name, or "$$$DUMMY"
  std::string instance;  // 0xB011: the instance's own name; empty when none
};

// An affine map of the file's axes (x, y, z), row-major, 3 rows of 4:
// x' = m[0] x + m[1] y + m[2] z + m[3], and so on.
using Affine = std::array<double, 12>;

// The keyframer's placement at frame 0.
struct NodePlacement {
  std::size_t node = 0;  // index into H3dsScene::nodes
  int parent = -1;       // index of the parent's NodePlacement, -1 for a root
  int mesh = -1;         // index into H3dsScene::meshobjlist; -1 for a dummy, a camera or a light
  std::string name;      // the instance name, else the object name
  // T(position) R(rotation) S(scale); a camera or spotlight: T(position)
  // times its turn towards its target; another such node: T(position).
  // The stored angle turns clockwise about the axis: R is the rotation by
  // minus the angle (the sign with which nodes at the editor's pose give the
  // stored vertices back).
  Affine local{};
  Affine world{};  // the parent's world times local
  // For a node that draws a mesh: world T(-pivot) M^-1, which takes the
  // mesh's stored vertices to where the node draws them (the identity when
  // the mesh matrix is singular: the stored vertices are kept).
  Affine mesh_placement{};
  // Hidden by its hide track at the placement's frame (PlaceSceneAt);
  // never as PlaceScene places it.  DrawPlacedMeshes leaves it out.
  bool hidden = false;
};

struct ScenePlacement {
  // Every node (cameras and lights included), parents before their children,
  // in file order otherwise; none when the nodes are inconsistent.
  std::vector<NodePlacement> nodes;
  // Meshes named by no node: drawn as stored.
  std::vector<std::size_t> unplaced_meshes;
  // Why part of the keyframer was ignored (a missing parent, a cycle, a
  // track cut short, a singular mesh matrix).
  std::vector<std::string> warnings;
};

// The placement at frame 0 that the scene's keyframer gives.  A scene
// without nodes places every mesh as stored; so does one whose nodes are
// inconsistent (two nodes with one id, a parent that does not exist, a
// cycle), with a warning.  The warnings begin with the scene's
// keyframer_warnings; the names they quote read as `names` decodes them
// (ShownName).
TORVIK_API ScenePlacement PlaceScene(const H3dsScene& scene, const NameDecoder& names = {});

// What the keyframer changes against the meshes as stored.
struct KeyframerEffect {
  std::size_t nodes = 0;      // object nodes, dummies included
  std::size_t instances = 0;  // object nodes beyond the first that name a mesh
  // Meshes whose first node draws one of their vertices farther than 1e-4 of
  // the diagonal of the stored model's bounding box from where it is stored
  // (vertices stored as NaN or infinite, which no placement can move, left
  // out of both).
  std::size_t moved = 0;
};

TORVIK_API KeyframerEffect MeasureKeyframer(const H3dsScene& scene,
                                            const ScenePlacement& placement);

// The faces and vertices of the meshes as DrawPlacedMeshes would draw them.
struct PlacedSize {
  std::uint64_t faces = 0;
  std::uint64_t vertices = 0;
};

TORVIK_API PlacedSize MeasurePlacedSize(const H3dsScene& scene, const ScenePlacement& placement);

// The most faces, and the most vertices, that DrawPlacedMeshes draws unless
// told otherwise: instances copy their mesh, so a few nodes naming a large
// mesh could otherwise ask for more memory than any machine has.
inline constexpr std::uint64_t kDefaultMaxPlacedFaces = 10'000'000;

// Replaces the scene's meshes by the meshes as the placement draws them: in
// file order, each once per node that draws it and is not hidden, in the
// nodes' file order (a mesh no node names stays once, as stored).  A placement with a
// negative determinant reverses the corners so that faces keep their side.
// Throws PlacementTooLarge, before drawing anything, when the meshes drawn
// would have more than `max_placed_faces` faces or vertices, and more than
// the meshes as stored (which are always drawn).
TORVIK_API void DrawPlacedMeshes(H3dsScene& scene, const ScenePlacement& placement,
                                 std::uint64_t max_placed_faces = kDefaultMaxPlacedFaces);

}  // namespace torvik
