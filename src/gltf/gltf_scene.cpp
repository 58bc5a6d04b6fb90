// The glTF of a 3DS scene as its author made it: the keyframer's nodes and
// hierarchy, one glTF mesh per 3DS mesh shared by its instances, the
// materials by name.
#include <cmath>
#include <optional>
#include <unordered_map>

#include "affine.h"
#include "base/ordered_pipeline.h"
#include "base/parallel_ranges.h"
#include "gltf_builder.h"
#include "scene_animation.h"
#include "scene_cameras_lights.h"
#include "scene_materials.h"
#include "scene_mesh_arrays.h"
#include "scene_nodes.h"
#include "tangents.h"
#include "torvik32c/errors.h"
#include "torvik32c/export_conventions.h"
#include "torvik32c/gltf_document.h"

namespace torvik {

namespace {

using gltf_build::Json;

// Below this many faces a second thread costs more than it saves.
constexpr std::size_t kFacesPerThread = 50000;
// How many meshes' arrays per thread may wait, made, for their turn.
constexpr std::size_t kMeshesAheadPerThread = 2;

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
    std::size_t faces = 0;
    for (std::size_t m = 0; m < meshes; ++m) {
      if (!instances[m].empty()) frame[m] = FrameOf(placement_.nodes[instances[m].front()]);
      faces += scene_.meshobjlist[m].facelist.size();
    }
    // The meshes are independent: their arrays are made on the threads, a
    // few meshes ahead, and added to the document in mesh order.
    const std::size_t threads = ThreadsFor(faces, kFacesPerThread, options_.threads);
    const std::size_t workers = threads > 1 ? threads : 0;
    OrderedPipeline<gltf_build::MeshArrays>(
        meshes, workers, kMeshesAheadPerThread * threads,
        [&](std::size_t, std::size_t m) { return ArraysOf(m, frame[m]); },
        [&](std::size_t m, gltf_build::MeshArrays arrays) {
          if (options_.cancelled && options_.cancelled()) throw Cancelled();
          extent[m] = arrays.extent;
          gltf_mesh[m] = AddMesh(m, arrays);
        });

    const NodeAnimation animation(scene_, placement_);
    const gltf_build::Carriers carriers = gltf_build::CarriersOf(scene_, placement_);
    const std::vector<bool> kept = KeptNodes(parent, carriers);
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
    std::vector<gltf_build::HiddenMesh> hidden;
    for (std::size_t i = 0; i < count; ++i) {
      if (mesh[i] < 0 || !kept[i]) continue;
      const auto m = static_cast<std::size_t>(mesh[i]);
      // What remains between the node and its mesh: T(p - p') for an
      // instance whose pivot p' differs from the first node's p.
      const NodePlacement& node = placement_.nodes[i];
      Affine offset = IdentityAffine();
      if (const std::optional<Affine> inverse = gltf_build::Inverse(node.world))
        offset = *inverse * node.mesh_placement * *gltf_build::Inverse(frame[m]);
      // A node that hides draws its mesh through a child whose scale hides it.
      const bool hides = animation.Hides(i);
      const std::optional<std::size_t> holder =
          AttachMesh(index[i], gltf_mesh[m], offset, extent[m], hides);
      if (hides && holder) {
        const std::vector<double> scale =
            nodes_[*holder].value("scale", std::vector<double>{1, 1, 1});
        hidden.push_back({*holder,
                          i,
                          {static_cast<float>(scale[0]), static_cast<float>(scale[1]),
                           static_cast<float>(scale[2])}});
      }
    }
    for (const std::size_t m : placement_.unplaced_meshes) {
      if (m >= meshes) continue;
      roots.push_back(nodes_.size());
      nodes_.push_back({{"name", builder_.NameOf(scene_.meshobjlist[m].name)}});
      children_.emplace_back();
      AttachMesh(roots.back(), gltf_mesh[m], *gltf_build::Inverse(frame[m]), extent[m]);
    }
    const gltf_build::ModelBounds bounds = gltf_build::BoundsOf(scene_, placement_);
    std::vector<std::optional<std::size_t>> node_of(count);
    for (std::size_t i = 0; i < count; ++i)
      if (kept[i]) node_of[i] = index[i];
    gltf_build::SceneNodes scene_nodes{nodes_, children_, roots};
    gltf_build::AddCamerasAndLights(builder_, scene_, placement_, carriers, node_of, bounds,
                                    scene_nodes);
    AddAnimation(animation, parent, kept, lifted, index, hidden, bounds.diagonal);
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
  std::vector<bool> KeptNodes(const std::vector<int>& parent,
                              const gltf_build::Carriers& carriers) const {
    const std::size_t count = placement_.nodes.size();
    std::vector<bool> kept(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t stored = placement_.nodes[i].node;
      kept[i] = stored >= scene_.nodes.size() || scene_.nodes[stored].kind == kObjectNodeChunk ||
                carriers.carrying[i];
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

  // Scene mesh `m` stored in `frame`.  Reads only the scene and the
  // options: safe on any thread.
  gltf_build::MeshArrays ArraysOf(std::size_t m, const Affine& frame) const {
    const bool reverse = options_.orient_outward && FacesInward(scene_.meshobjlist[m]);
    return gltf_build::SceneMeshArrays(scene_, m, frame, reverse, first_material_);
  }

  // The glTF mesh of scene mesh `m` made of `arrays`; none when it has no
  // triangles.
  std::optional<std::size_t> AddMesh(std::size_t m, const gltf_build::MeshArrays& arrays) {
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

  // Puts the mesh on node `node`, or, when `offset` is no identity or the
  // mesh needs a node of its own, on a child of it that applies `offset`.
  // Returns the node that holds the mesh.
  std::optional<std::size_t> AttachMesh(std::size_t node, const std::optional<std::size_t>& mesh,
                                        const Affine& offset, double extent,
                                        bool own_node = false) {
    if (!mesh) return std::nullopt;
    if (!own_node && gltf_build::NearIdentity(offset, extent)) {
      nodes_[node]["mesh"] = *mesh;
      return node;
    }
    Json child = {{"mesh", *mesh}};
    if (!gltf_build::NearIdentity(offset, extent)) AddTransform(child, offset);
    children_[node].push_back(nodes_.size());
    nodes_.push_back(std::move(child));
    children_.emplace_back();
    return nodes_.size() - 1;
  }

  // The animation of the kept nodes that move (a lifted one as soon as one
  // of its ancestors moves) and of the meshes that hide.
  void AddAnimation(const NodeAnimation& animation, const std::vector<int>& parent,
                    const std::vector<bool>& kept, const std::vector<bool>& lifted,
                    const std::vector<std::size_t>& index,
                    const std::vector<gltf_build::HiddenMesh>& hidden, double diagonal) {
    const std::size_t count = placement_.nodes.size();
    std::vector<bool> chain_moves(count, false);
    std::vector<gltf_build::AnimatedNode> moving;
    for (std::size_t i = 0; i < count; ++i) {
      const bool moves = animation.Moves(i);
      chain_moves[i] =
          moves || (parent[i] >= 0 && chain_moves[static_cast<std::size_t>(parent[i])]);
      if (kept[i] && (lifted[i] ? chain_moves[i] : moves))
        moving.push_back({index[i], i, lifted[i]});
    }
    gltf_build::AnimationSettings settings;
    settings.name = options_.animation_name.empty() ? "Animation" : options_.animation_name;
    settings.frames_per_second = options_.frames_per_second;
    settings.diagonal = diagonal;
    if (options_.cancelled)
      settings.check = [this] {
        if (options_.cancelled()) throw Cancelled();
      };
    gltf_build::AddAnimation(builder_, scene_, placement_, animation,
                             AnimationFrames(scene_.animation), moving, hidden, settings);
  }

  // The node's translation, rotation and scale, those that are not the identity's.
  void AddTransform(Json& node, const Affine& file_map) {
    gltf_build::PutTransform(node, gltf_build::FloatTransformOf(file_map, non_finite_transforms_));
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
