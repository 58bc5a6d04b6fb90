// The glTF of a 3DS scene as its author made it: the keyframer's nodes and
// hierarchy, one glTF mesh per 3DS mesh shared by its instances, the
// materials by name.
#include <cmath>
#include <optional>
#include <unordered_map>

#include "affine.h"
#include "gltf_builder.h"
#include "scene_materials.h"
#include "scene_mesh_arrays.h"
#include "tangents.h"
#include "torvik32c/export_conventions.h"
#include "torvik32c/gltf_document.h"

namespace torvik {

namespace {

using gltf_build::Json;

// The deepest a keyframer node stands in the glTF's hierarchy (a root at
// 1); the unnamed node that offsets an instance's mesh may stand one deeper.
constexpr std::size_t kMaxNodeDepth = 127;

class SceneGltf {
 public:
  SceneGltf(const H3dsScene& scene, const ScenePlacement& placement, const GltfOptions& options)
      : scene_(scene),
        placement_(placement),
        options_(options),
        builder_(options),
        materials_(builder_, scene.material) {
    for (std::size_t i = 0; i < scene.material.size(); ++i)
      first_material_.try_emplace(scene.material[i].name, i);
  }

  GltfDocument Build() && {
    const std::size_t meshes = scene_.meshobjlist.size();
    const std::size_t count = placement_.nodes.size();
    // The usable nodes: a parent before its child, a mesh that exists.
    std::vector<int> parent(count, -1), mesh(count, -1);
    std::vector<std::vector<std::size_t>> instances(meshes);
    for (std::size_t i = 0; i < count; ++i) {
      const NodePlacement& node = placement_.nodes[i];
      if (node.parent >= 0 && static_cast<std::size_t>(node.parent) < i) parent[i] = node.parent;
      if (node.mesh >= 0 && static_cast<std::size_t>(node.mesh) < meshes) {
        mesh[i] = node.mesh;
        instances[static_cast<std::size_t>(node.mesh)].push_back(i);
      }
    }
    std::vector<Affine> frame(meshes, IdentityAffine());
    std::vector<std::optional<std::size_t>> gltf_mesh(meshes);
    std::vector<double> extent(meshes, 0);
    for (std::size_t m = 0; m < meshes; ++m) {
      if (!instances[m].empty()) frame[m] = FrameOf(placement_.nodes[instances[m].front()]);
      gltf_mesh[m] = AddMesh(m, frame[m], extent[m]);
    }

    const std::vector<bool> kept = KeptNodes(parent);
    const std::vector<bool> lifted = LiftedNodes(kept, parent);
    std::vector<std::size_t> index(count);  // of each kept node among the glTF's
    std::vector<std::size_t> roots;
    for (std::size_t i = 0; i < count; ++i) {
      if (!kept[i]) continue;
      const NodePlacement& node = placement_.nodes[i];
      index[i] = nodes_.size();
      Json json = {{"name", builder_.NameOf(node.name)}};
      AddTransform(json, lifted[i] ? node.world : node.local);
      nodes_.push_back(std::move(json));
      children_.emplace_back();
      if (parent[i] >= 0 && !lifted[i])
        children_[index[static_cast<std::size_t>(parent[i])]].push_back(index[i]);
      else
        roots.push_back(index[i]);
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (mesh[i] < 0 || !kept[i]) continue;
      const auto m = static_cast<std::size_t>(mesh[i]);
      // What remains between the node and its mesh: T(p - p') for an
      // instance whose pivot p' differs from the first node's p.
      const NodePlacement& node = placement_.nodes[i];
      Affine offset = IdentityAffine();
      if (const std::optional<Affine> inverse = gltf_build::Inverse(node.world))
        offset = *inverse * node.mesh_placement * *gltf_build::Inverse(frame[m]);
      AttachMesh(index[i], gltf_mesh[m], offset, extent[m]);
    }
    for (const std::size_t m : placement_.unplaced_meshes) {
      if (m >= meshes) continue;
      roots.push_back(nodes_.size());
      nodes_.push_back({{"name", builder_.NameOf(scene_.meshobjlist[m].name)}});
      children_.emplace_back();
      AttachMesh(roots.back(), gltf_mesh[m], *gltf_build::Inverse(frame[m]), extent[m]);
    }
    for (std::size_t i = 0; i < nodes_.size(); ++i)
      if (!children_[i].empty()) nodes_[i]["children"] = children_[i];
    if (non_finite_transforms_ > 0)
      builder_.Warn(std::to_string(non_finite_transforms_) +
                    " transform values that were not numbers were written as 0");
    if (!meshes_.empty()) builder_.json()["meshes"] = std::move(meshes_);
    if (!nodes_.empty()) builder_.json()["nodes"] = std::move(nodes_);
    return std::move(builder_).Finish(roots);
  }

 private:
  // The frame a mesh is stored in: where its first node draws it, less that
  // node's own transform, so T(-pivot) M^-1 as a rule; the stored vertices
  // when that can't be told.
  static Affine FrameOf(const NodePlacement& first) {
    if (const std::optional<Affine> inverse = gltf_build::Inverse(first.world)) {
      const Affine stored = *inverse * first.mesh_placement;
      if (gltf_build::Inverse(stored)) return stored;
    }
    return IdentityAffine();
  }

  // The nodes written: object nodes (dummies included), and the nodes of
  // cameras and lights that object nodes hang from.
  std::vector<bool> KeptNodes(const std::vector<int>& parent) const {
    const std::size_t count = placement_.nodes.size();
    std::vector<bool> kept(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t stored = placement_.nodes[i].node;
      kept[i] = stored >= scene_.nodes.size() || scene_.nodes[stored].kind == kObjectNodeChunk;
    }
    for (std::size_t i = count; i-- > 0;)
      if (kept[i] && parent[i] >= 0) kept[static_cast<std::size_t>(parent[i])] = true;
    return kept;
  }

  // The kept nodes written at the top level with their world transform
  // rather than under their parent: those that would stand deeper than
  // kMaxNodeDepth, each with its subtree below it, so that no chain of
  // nodes (a mesh's offset node included) is deeper than kMaxNodeDepth + 1.
  // Viewers walk the nodes recursively: three.js fails on a 2,000-deep
  // chain, and the Khronos validator on an 8,192-deep one.
  std::vector<bool> LiftedNodes(const std::vector<bool>& kept, const std::vector<int>& parent) {
    const std::size_t count = kept.size();
    std::vector<bool> lifted(count, false);
    std::vector<std::size_t> depth(count, 1);
    std::size_t lifts = 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (!kept[i] || parent[i] < 0) continue;
      depth[i] = depth[static_cast<std::size_t>(parent[i])] + 1;
      if (depth[i] > kMaxNodeDepth) lifted[i] = true, depth[i] = 1, ++lifts;
    }
    if (lifts > 0)
      builder_.Warn(std::to_string(lifts) + (lifts == 1 ? " node" : " nodes") + " deeper than " +
                    std::to_string(kMaxNodeDepth) + " levels of the hierarchy " +
                    (lifts == 1 ? "is" : "are") + " written at the top level with " +
                    (lifts == 1 ? "its" : "their") +
                    " world transform, the nodes below kept under " + (lifts == 1 ? "it" : "them") +
                    " (viewers fail on deeper hierarchies)");
    return lifted;
  }

  // The glTF mesh of scene mesh `m` stored in `frame`; none when it has no
  // triangles.
  std::optional<std::size_t> AddMesh(std::size_t m, const Affine& frame, double& extent) {
    const bool reverse = options_.orient_outward && FacesInward(scene_.meshobjlist[m]);
    const gltf_build::MeshArrays arrays =
        gltf_build::SceneMeshArrays(scene_, m, frame, reverse, first_material_);
    extent = arrays.extent;
    if (arrays.parts.empty()) return std::nullopt;
    builder_.CountNonFinite(arrays.vertices.non_finite);
    Json attributes = builder_.AddAttributes(arrays.vertices, false);
    Json primitives = Json::array();
    std::optional<std::size_t> texcoords, tangents;
    for (const gltf_build::MeshPart& part : arrays.parts) {
      const auto [material, textured] = materials_.MaterialOf(part.material);
      Json these = attributes;
      if (textured) {
        if (!texcoords) texcoords = builder_.AddTexcoords(arrays.vertices);
        these["TEXCOORD_0"] = *texcoords;
      }
      if (materials_.NormalMapped(part.material)) {
        if (!tangents) tangents = builder_.AddTangents(gltf_build::MeshTangents(arrays));
        these["TANGENT"] = *tangents;
      }
      primitives.push_back({{"attributes", std::move(these)},
                            {"indices", builder_.AddIndices(part.indices, arrays.vertices.Count())},
                            {"material", material}});
    }
    meshes_.push_back({{"name", builder_.NameOf(scene_.meshobjlist[m].name)},
                       {"primitives", std::move(primitives)}});
    return meshes_.size() - 1;
  }

  // Puts the mesh on node `node`, or, when `offset` is no identity, on a
  // child of it that applies `offset`.
  void AttachMesh(std::size_t node, const std::optional<std::size_t>& mesh, const Affine& offset,
                  double extent) {
    if (!mesh) return;
    if (gltf_build::NearIdentity(offset, extent)) {
      nodes_[node]["mesh"] = *mesh;
      return;
    }
    Json child = {{"mesh", *mesh}};
    AddTransform(child, offset);
    children_[node].push_back(nodes_.size());
    nodes_.push_back(std::move(child));
    children_.emplace_back();
  }

  // The node's translation, rotation and scale, those that are not the identity's.
  void AddTransform(Json& node, const Affine& file_map) {
    const gltf_build::NodeTransform transform = gltf_build::GltfTransformOf(file_map);
    const auto put = [&](const char* name, auto values, auto identity) {
      // At the precision of the file's own numbers, as the shortest decimals.
      for (double& value : values) {
        if (!std::isfinite(value) || !std::isfinite(static_cast<float>(value))) {
          value = 0;
          ++non_finite_transforms_;
        }
        value = gltf_build::Factor(static_cast<float>(value));
      }
      if (values != identity) node[name] = values;
    };
    put("translation", transform.translation, std::array<double, 3>{0, 0, 0});
    put("rotation", transform.rotation, std::array<double, 4>{0, 0, 0, 1});
    put("scale", transform.scale, std::array<double, 3>{1, 1, 1});
  }

  const H3dsScene& scene_;
  const ScenePlacement& placement_;
  const GltfOptions& options_;
  gltf_build::GltfBuilder builder_;
  std::unordered_map<std::string, std::size_t> first_material_;
  gltf_build::SceneMaterials materials_;
  Json meshes_ = Json::array();
  Json nodes_ = Json::array();
  std::vector<std::vector<std::size_t>> children_;
  std::size_t non_finite_transforms_ = 0;
};

}  // namespace

GltfDocument BuildSceneGltf(const H3dsScene& scene, const ScenePlacement& placement,
                            const GltfOptions& options) {
  return SceneGltf(scene, placement, options).Build();
}

GltfDocument BuildSceneGltf(const H3dsScene& scene, const GltfOptions& options) {
  const ScenePlacement placement = PlaceScene(scene, options.names);
  GltfDocument document = BuildSceneGltf(scene, placement, options);
  document.warnings.insert(document.warnings.begin(), placement.warnings.begin(),
                           placement.warnings.end());
  return document;
}

}  // namespace torvik
