// The glTF reader: the scene's nodes walked, each mesh drawn once per node
// that draws it, its primitives as triangles in the 3DS file's axes.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>

#include "3dsload/scene_mesh_stream.h"
#include "base/ordered_pipeline.h"
#include "gltf_accessors.h"
#include "gltf_container.h"
#include "gltf_images.h"
#include "gltf_load.h"
#include "gltf_materials.h"
#include "gltf_transforms.h"
#include "import/mesh_assembly.h"
#include "torvik32c/gltf_import.h"
#include "torvik32c/name_text.h"

namespace torvik {

namespace {

using gltfload::AccessorReader;
using gltfload::AccessorUse;
using gltfload::kGltf;
using gltfload::Matrix;
using import::MeshAssembler;
using import::SourceVertex;

// A mesh drawn by a node.
struct Instance {
  std::size_t mesh;
  Matrix world;
  // Copies of one mesh are drawn in the order of their nodes: a node
  // without a name (one that only carries a mesh for a named parent) takes
  // its parent's place.
  std::size_t place;
  std::size_t node;
};

// Drawing a glTF's instances takes another thread from this many vertices
// per thread.
constexpr std::size_t kVerticesForAThread = 100000;

[[noreturn]] void Fail(const std::string& where, const std::string& problem) {
  throw ImportError(kGltf, where, problem);
}

std::string PrimitiveAt(std::size_t mesh, std::size_t primitive) {
  return "/meshes/" + std::to_string(mesh) + "/primitives/" + std::to_string(primitive);
}

bool DrawsTriangles(int mode) {
  return mode == TINYGLTF_MODE_TRIANGLES || mode == TINYGLTF_MODE_TRIANGLE_STRIP ||
         mode == TINYGLTF_MODE_TRIANGLE_FAN;
}

// glTF's axes (y up) to the 3DS file's (z up): the inverse of the export's
// (x, y, z) -> (x, z, -y).
H3dsVert FileAxes(const std::array<double, 3>& p) {
  return {static_cast<float32>(p[0]), static_cast<float32>(-p[2]), static_cast<float32>(p[1])};
}

class GltfSceneReader {
 public:
  GltfSceneReader(const gltfload::LoadedGltf& gltf, const ImportOptions& options)
      : gltf_(gltf), model_(gltf.model), options_(options), images_(gltf, options.model_name) {}

  // Walks the scene, checks its budget and reads the materials drawn.
  void Prepare() {
    instances_ = Instances();
    std::stable_sort(instances_.begin(), instances_.end(),
                     [](const Instance& a, const Instance& b) {
                       return std::tie(a.mesh, a.place, a.node) < std::tie(b.mesh, b.place, b.node);
                     });
    const std::uint64_t vertices = CheckBudget(instances_);
    PrepareMaterials(instances_);
    for (std::size_t i = 1; i < instances_.size(); ++i)
      if (instances_[i].mesh == instances_[i - 1].mesh) ++out_.instances;
    // Instances are drawn on several threads when there are enough
    // vertices to pay for them, and taken in order.
    workers_ = ThreadsFor(static_cast<std::size_t>(std::min<std::uint64_t>(vertices, SIZE_MAX)),
                          kVerticesForAThread, options_.threads);
    scratch_.resize(workers_);
  }

  // Whether the meshes can come as they are drawn: every instance makes one
  // scene mesh at most, whatever its welding gives, the normals are the
  // conversion's, and the counts announced are those of accessors that fit
  // their buffers (else drawing says what is wrong, in turn).
  bool Streamable() const {
    if (options_.file_normals) return false;
    for (std::size_t i = 0; i < instances_.size(); ++i) {
      const std::size_t m = instances_[i].mesh;
      if (i > 0 && m == instances_[i - 1].mesh) continue;
      const auto [triangles, vertices] = Size(m);
      if (triangles > import::kMostPerSceneMesh || vertices > import::kMostPerSceneMesh)
        return false;
      for (const tinygltf::Primitive& primitive : model_.meshes[m].primitives) {
        if (!DrawsTriangles(primitive.mode)) continue;
        const auto position = primitive.attributes.find("POSITION");
        if (position == primitive.attributes.end()) return false;
        try {
          (void)AccessorReader(gltf_, position->second, AccessorUse::positions, {});
          if (primitive.indices >= 0)
            (void)AccessorReader(gltf_, primitive.indices, AccessorUse::indices, {});
        } catch (const ImportError&) {
          return false;
        }
      }
    }
    return true;
  }

  // Draws every instance into the scene.
  ImportedScene ReadAll() && {
    OrderedPipeline<Drawn>(
        instances_.size(), Threaded(), 2 * workers_,
        [&](std::size_t worker, std::size_t i) { return Draw(i, worker); },
        [&](std::size_t, Drawn drawn) {
          for (H3dsMeshObj& mesh : drawn.part.scene.meshobjlist)
            out_.scene.meshobjlist.push_back(std::move(mesh));
          for (std::vector<H3dsVert>& normals : drawn.part.normals)
            out_.normals.push_back(std::move(normals));
          out_.scene.defaultmaterialwarning =
              out_.scene.defaultmaterialwarning || drawn.default_material;
          skipped_primitives_ += drawn.skipped_primitives;
        });
    return Finished();
  }

  // The scene without its meshes, and what `stream` announces of them: one
  // per instance, drawn as they are taken.  What drawing would find of the
  // primitives is counted from them.
  ImportedScene Header(SceneMeshStream& stream) {
    std::map<std::string, std::size_t> slot;
    for (const Instance& instance : instances_)
      for (const tinygltf::Primitive& primitive : model_.meshes[instance.mesh].primitives) {
        if (!DrawsTriangles(primitive.mode)) {
          ++skipped_primitives_;
          continue;
        }
        const std::string& binding = BindingOf(primitive);
        if (binding == kDefaultMaterialName) out_.scene.defaultmaterialwarning = true;
        const auto [triangles, vertices] = PrimitiveSize(primitive);
        const auto [at, added] = slot.try_emplace(binding, stream.triangles.size());
        if (added) stream.triangles.emplace_back(binding, 0);
        stream.triangles[at->second].second += static_cast<std::size_t>(triangles);
        stream.most_vertices += static_cast<std::size_t>(vertices);
      }
    stream.count = instances_.size();
    return Finished();
  }

  std::size_t Threaded() const { return workers_ > 1 ? workers_ : 0; }
  std::size_t Workers() const { return workers_; }

  // What drawing one instance gives; drawn on any thread, it reads the
  // reader's state and changes none of it but the worker's scratch lists.
  struct Drawn {
    ImportedScene part;
    bool default_material = false;
    std::size_t skipped_primitives = 0;
  };

  // Draws instance `instance` on worker `worker`, whose mesh takes the lists
  // of `spare` where it can.
  Drawn Draw(std::size_t instance, std::size_t worker, H3dsMeshObj spare = {}) const {
    StopIfCancelled(options_.cancel);
    scratch_[worker].assembly.spare = std::move(spare);
    return Draw(instances_[instance], scratch_[worker]);
  }

 private:
  // The nodes of the default scene (else scene 0, else every node that is
  // no other's child), walked depth first with their world matrices.
  std::vector<Instance> Instances() const {
    const std::size_t count = model_.nodes.size();
    std::vector<int> roots;
    if (!model_.scenes.empty()) {
      const std::size_t scene =
          model_.defaultScene >= 0 &&
                  static_cast<std::size_t>(model_.defaultScene) < model_.scenes.size()
              ? static_cast<std::size_t>(model_.defaultScene)
              : 0;
      roots = model_.scenes[scene].nodes;
    } else {
      std::vector<bool> child(count, false);
      for (const tinygltf::Node& node : model_.nodes)
        for (const int c : node.children)
          if (c >= 0 && static_cast<std::size_t>(c) < count)
            child[static_cast<std::size_t>(c)] = true;
      for (std::size_t i = 0; i < count; ++i)
        if (!child[i]) roots.push_back(static_cast<int>(i));
    }
    struct Visit {
      int node;
      Matrix parent;
      std::size_t place;
      std::string referrer;
    };
    std::vector<Visit> stack;
    for (std::size_t r = roots.size(); r-- > 0;)
      stack.push_back(
          {roots[r], gltfload::IdentityMatrix(), 0, "/scenes/nodes/" + std::to_string(r)});
    std::vector<bool> seen(count, false);
    std::vector<Instance> instances;
    while (!stack.empty()) {
      const Visit visit = std::move(stack.back());
      stack.pop_back();
      if (visit.node < 0 || static_cast<std::size_t>(visit.node) >= count)
        Fail(visit.referrer, "names node " + std::to_string(visit.node) + ", which the glTF lacks");
      const auto index = static_cast<std::size_t>(visit.node);
      const std::string at = "/nodes/" + std::to_string(index);
      if (seen[index]) Fail(at, "is reached twice: the scene's nodes form no tree");
      seen[index] = true;
      const tinygltf::Node& node = model_.nodes[index];
      const Matrix world = gltfload::Multiply(visit.parent, gltfload::LocalMatrix(node));
      const std::size_t place =
          node.name.empty() && visit.referrer.find("/children/") != std::string::npos ? visit.place
                                                                                      : index;
      if (node.mesh >= 0) {
        if (static_cast<std::size_t>(node.mesh) >= model_.meshes.size())
          Fail(at + "/mesh", "names mesh " + std::to_string(node.mesh) + ", which the glTF lacks");
        instances.push_back({static_cast<std::size_t>(node.mesh), world, place, index});
      }
      for (std::size_t c = node.children.size(); c-- > 0;)
        stack.push_back({node.children[c], world, place, at + "/children/" + std::to_string(c)});
    }
    return instances;
  }

  // The triangles and vertices of mesh `m`, counted from its accessors.
  std::pair<std::uint64_t, std::uint64_t> Size(std::size_t m) const {
    std::uint64_t triangles = 0, vertices = 0;
    for (const tinygltf::Primitive& primitive : model_.meshes[m].primitives) {
      const auto [t, v] = PrimitiveSize(primitive);
      triangles += t;
      vertices += v;
    }
    return {triangles, vertices};
  }

  // The triangles and vertices of a primitive, counted from its accessors
  // (none for points and lines).
  std::pair<std::uint64_t, std::uint64_t> PrimitiveSize(
      const tinygltf::Primitive& primitive) const {
    if (!DrawsTriangles(primitive.mode)) return {0, 0};
    const auto position = primitive.attributes.find("POSITION");
    const auto count = [&](int accessor) -> std::uint64_t {
      return accessor >= 0 && static_cast<std::size_t>(accessor) < model_.accessors.size()
                 ? model_.accessors[static_cast<std::size_t>(accessor)].count
                 : 0;
    };
    const std::uint64_t positions =
        position == primitive.attributes.end() ? 0 : count(position->second);
    const std::uint64_t corners = primitive.indices >= 0 ? count(primitive.indices) : positions;
    return {
        primitive.mode == TINYGLTF_MODE_TRIANGLES ? corners / 3 : (corners >= 3 ? corners - 2 : 0),
        positions};
  }

  // Instances copy their mesh: past the budget, and past the meshes drawn
  // once each, the model fails before anything is drawn.  Returns the
  // vertices drawn.
  std::uint64_t CheckBudget(const std::vector<Instance>& instances) const {
    std::uint64_t triangles = 0, vertices = 0, once = 0;
    for (std::size_t i = 0; i < instances.size(); ++i) {
      const auto [t, v] = Size(instances[i].mesh);
      triangles += t;
      vertices += v;
      if (i == 0 || instances[i].mesh != instances[i - 1].mesh) once += std::max(t, v);
    }
    const std::uint64_t limit = std::max(options_.max_placed_faces, once);
    if (triangles > limit) throw InstancesTooLarge("faces", triangles, limit);
    if (vertices > limit) throw InstancesTooLarge("vertices", vertices, limit);
    return vertices;
  }

  // The materials of the primitives drawn, in the glTF's order, each under
  // a name of its own (the conversion binds triangles by name).
  void PrepareMaterials(const std::vector<Instance>& instances) {
    std::vector<bool> used(model_.materials.size(), false);
    for (const Instance& instance : instances)
      for (std::size_t p = 0; p < model_.meshes[instance.mesh].primitives.size(); ++p) {
        const int material = model_.meshes[instance.mesh].primitives[p].material;
        if (material < 0) continue;
        if (static_cast<std::size_t>(material) >= used.size())
          Fail(PrimitiveAt(instance.mesh, p) + "/material",
               "names material " + std::to_string(material) + ", which the glTF lacks");
        used[static_cast<std::size_t>(material)] = true;
      }
    std::vector<std::string> names;
    for (std::size_t m = 0; m < used.size(); ++m) {
      readings_.emplace_back();
      binding_.emplace_back(kDefaultMaterialName);
      if (!used[m]) continue;
      const std::string& stored = model_.materials[m].name;
      std::string name = stored.empty() ? "material " + std::to_string(m) : stored;
      gltfload::MaterialReading reading = gltfload::ReadMaterial(model_, m, name);
      for (const std::string& warning : reading.warnings)
        out_.warnings.push_back("material \"" + ShownText(name) + "\": " + warning);
      if (reading.image >= 0)
        reading.mat.texture.texturename = images_.TextureName(reading.image).value_or("");
      reading.mat.Map(MapKind::texture).present = !reading.mat.texture.texturename.empty();
      reading.mat.Map(MapKind::texture).name = reading.mat.texture.texturename;
      if (!reading.is_default) {
        for (int n = 2; std::find(names.begin(), names.end(), name) != names.end() ||
                        name == kDefaultMaterialName;
             ++n)
          name = (stored.empty() ? "material " + std::to_string(m) : stored) + " (" +
                 std::to_string(n) + ")";
        names.push_back(name);
        reading.mat.name = name;
        binding_[m] = name;
        out_.scene.material.push_back(reading.mat);
        double_sided_[name] = reading.mat.doublesided != 0;
      }
      readings_[m] = std::move(reading);
    }
  }

  bool DoubleSided(const std::string& binding) const {
    if (binding == kDefaultMaterialName) return true;
    const auto found = double_sided_.find(binding);
    return found != double_sided_.end() && found->second;
  }

  // The accessor of attribute `name` of a primitive, checked to have one
  // element per position; none when the primitive lacks it.
  std::optional<AccessorReader> Attribute(const tinygltf::Primitive& primitive,
                                          const std::string& name, AccessorUse use,
                                          const std::string& at, std::size_t positions) const {
    const auto found = primitive.attributes.find(name);
    if (found == primitive.attributes.end()) return std::nullopt;
    AccessorReader reader(gltf_, found->second, use, at + "/attributes/" + name);
    if (reader.Count() != positions)
      Fail(at + "/attributes/" + name, "has " + std::to_string(reader.Count()) + " elements for " +
                                           std::to_string(positions) + " positions");
    return reader;
  }

  ImportedScene Finished() {
    if (skipped_primitives_ > 0)
      out_.warnings.push_back(std::to_string(skipped_primitives_) +
                              " primitives of points or lines are left out: BMF draws triangles");
    for (std::string& warning : images_.TakeWarnings()) out_.warnings.push_back(warning);
    out_.images = images_.TakeImages();
    return std::move(out_);
  }

  // The lists a thread reuses from one instance to the next.
  struct Scratch {
    import::AssemblyScratch assembly;
    std::vector<std::uint32_t> welded;
  };

  const std::string& BindingOf(const tinygltf::Primitive& primitive) const {
    static const std::string kDefault = kDefaultMaterialName;
    return primitive.material >= 0 ? binding_[static_cast<std::size_t>(primitive.material)]
                                   : kDefault;
  }

  Drawn Draw(const Instance& instance, Scratch& scratch) const {
    Drawn drawn;
    const tinygltf::Mesh& mesh = model_.meshes[instance.mesh];
    const tinygltf::Node& node = model_.nodes[instance.node];
    std::string name = !mesh.name.empty() ? mesh.name : node.name;
    if (name.empty()) name = "mesh " + std::to_string(instance.mesh);
    MeshAssembler assembler(name, options_.file_normals, std::move(scratch.assembly));
    const bool identity = gltfload::IsIdentity(instance.world);
    const bool mirrors = gltfload::Determinant(instance.world) < 0;
    for (std::size_t p = 0; p < mesh.primitives.size(); ++p) {
      const tinygltf::Primitive& primitive = mesh.primitives[p];
      const std::string at = PrimitiveAt(instance.mesh, p);
      if (!DrawsTriangles(primitive.mode)) {
        ++drawn.skipped_primitives;
        continue;
      }
      const auto position = primitive.attributes.find("POSITION");
      if (position == primitive.attributes.end()) Fail(at + "/attributes", "has no POSITION");
      const AccessorReader positions(gltf_, position->second, AccessorUse::positions,
                                     at + "/attributes/POSITION");
      const std::size_t count = positions.Count();
      const gltfload::MaterialReading* reading =
          primitive.material >= 0 ? &readings_[static_cast<std::size_t>(primitive.material)]
                                  : nullptr;
      const bool textured = reading != nullptr && !reading->mat.texture.texturename.empty();
      const int set = textured ? reading->texcoord : 0;
      const std::optional<AccessorReader> uvs =
          set < 0 ? std::nullopt
                  : Attribute(primitive, "TEXCOORD_" + std::to_string(set), AccessorUse::texcoords,
                              at, count);
      const std::optional<AccessorReader> normals =
          options_.file_normals ? Attribute(primitive, "NORMAL", AccessorUse::normals, at, count)
                                : std::nullopt;
      const std::optional<gltfload::UvTransform> no_transform;
      const std::optional<gltfload::UvTransform>& transform =
          textured ? reading->transform : no_transform;
      const std::string& binding = BindingOf(primitive);
      if (binding == kDefaultMaterialName) drawn.default_material = true;
      const std::size_t slot = assembler.Slot(binding);

      std::vector<std::uint32_t>& welded = scratch.welded;
      welded.assign(count, UINT32_MAX);
      const auto vertex = [&](std::uint32_t i) {
        if (welded[i] != UINT32_MAX) return welded[i];
        SourceVertex source;
        const std::array<float, 3> p = positions.Vec3(i);
        source.position = identity ? FileAxes({p[0], p[1], p[2]})
                                   : FileAxes(gltfload::TransformedPoint(instance.world, p));
        if (uvs) {
          const std::array<float, 2> uv = uvs->Vec2(i);
          source.uv = gltfload::TransformedUv(uv[0], uv[1], transform);
        }
        if (options_.file_normals) {
          const float nan = std::numeric_limits<float>::quiet_NaN();
          std::array<float, 3> n = normals ? normals->Vec3(i) : std::array<float, 3>{nan, nan, nan};
          source.normal = identity ? FileAxes({n[0], n[1], n[2]})
                                   : FileAxes(gltfload::TransformedNormal(instance.world, n));
        }
        return welded[i] = assembler.Welded(source);
      };
      std::optional<AccessorReader> indices;
      if (primitive.indices >= 0)
        indices.emplace(gltf_, primitive.indices, AccessorUse::indices, at + "/indices");
      const std::size_t corners = indices ? indices->Count() : count;
      assembler.Reserve(count, primitive.mode == TINYGLTF_MODE_TRIANGLES ? corners / 3 : corners);
      const auto corner = [&](std::size_t k) -> std::uint32_t {
        const std::uint32_t i = indices ? indices->Index(k) : static_cast<std::uint32_t>(k);
        if (i >= count)
          Fail(at + "/indices", "element " + std::to_string(k) + " names vertex " +
                                    std::to_string(i) + " of " + std::to_string(count));
        return vertex(i);
      };
      // The corners of triangle (i, j, k), looked up in that order, so that
      // vertices are numbered alike by every compiler.
      const auto triangle = [&](std::size_t i, std::size_t j, std::size_t k) {
        const std::uint32_t a = corner(i);
        std::uint32_t b = corner(j);
        std::uint32_t c = corner(k);
        if (mirrors) std::swap(b, c);
        assembler.Triangle(a, b, c, slot);
      };
      if (primitive.mode == TINYGLTF_MODE_TRIANGLES) {
        for (std::size_t k = 0; k + 2 < corners; k += 3) triangle(k, k + 1, k + 2);
      } else if (primitive.mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
        for (std::size_t k = 0; k + 2 < corners; ++k) {
          if (k % 2 == 0)
            triangle(k, k + 1, k + 2);
          else
            triangle(k + 1, k, k + 2);
        }
      } else {
        for (std::size_t k = 1; k + 1 < corners; ++k) triangle(k, k + 1, 0);
      }
    }
    assembler.Finish(drawn.part,
                     [this](const std::string& binding) { return DoubleSided(binding); });
    scratch.assembly = std::move(assembler).TakeScratch();
    return drawn;
  }

  const gltfload::LoadedGltf& gltf_;
  const tinygltf::Model& model_;
  const ImportOptions& options_;
  gltfload::ImageNames images_;
  std::vector<gltfload::MaterialReading> readings_;  // per glTF material
  std::vector<std::string> binding_;                 // per glTF material
  std::map<std::string, bool> double_sided_;         // per binding name
  std::vector<Instance> instances_;
  std::size_t workers_ = 1;
  mutable std::vector<Scratch> scratch_;  // per worker
  std::size_t skipped_primitives_ = 0;
  ImportedScene out_;
};

// A glTF whose meshes are drawn as the conversion takes them, a few
// instances ahead on the drawing threads.
class GltfMeshStream final : public SceneMeshStream {
 public:
  GltfMeshStream(std::span<const byte> bytes, bool binary, const ImportOptions& options)
      : options_(options),
        gltf_(gltfload::LoadGltf(bytes, binary, options_)),
        reader_(gltf_, options_) {}

  static ImportedScene Read(std::shared_ptr<GltfMeshStream> stream) {
    StopIfCancelled(stream->options_.cancel);
    GltfSceneReader& reader = stream->reader_;
    reader.Prepare();
    if (!stream->options_.stream_meshes || !reader.Streamable()) return std::move(reader).ReadAll();
    ImportedScene header = reader.Header(*stream);
    GltfMeshStream* self = stream.get();
    stream->source_.emplace(stream->count, reader.Threaded(), 2 * reader.Workers(),
                            [self](std::size_t worker, std::size_t i) {
                              return self->reader_.Draw(i, worker, self->Spare());
                            });
    header.meshes = std::move(stream);
    return header;
  }

  // A mesh the conversion is done with: the next ones drawn take its lists.
  void Recycle(H3dsMeshObj&& mesh) override {
    const std::lock_guard lock(mutex_);
    if (spares_.size() < kMostSpares) spares_.push_back(std::move(mesh));
  }

 private:
  H3dsMeshObj Make(std::size_t index) override {
    GltfSceneReader::Drawn drawn = source_->Take(index);
    if (drawn.part.scene.meshobjlist.empty()) return {};
    return std::move(drawn.part.scene.meshobjlist.front());
  }

  // As many as may be in flight between the threads that draw and the
  // conversion.
  static constexpr std::size_t kMostSpares = 8;

  H3dsMeshObj Spare() {
    const std::lock_guard lock(mutex_);
    if (spares_.empty()) return {};
    H3dsMeshObj spare = std::move(spares_.back());
    spares_.pop_back();
    return spare;
  }

  const ImportOptions options_;
  const gltfload::LoadedGltf gltf_;
  GltfSceneReader reader_;
  std::mutex mutex_;
  std::vector<H3dsMeshObj> spares_;
  // Last, so that its threads end before what they use goes.
  std::optional<OrderedSource<GltfSceneReader::Drawn>> source_;
};

}  // namespace

ImportedScene ReadGltfScene(std::span<const byte> bytes, const ImportOptions& options) {
  const bool binary = DetectModelFormat(bytes) == ModelFormat::gltf_binary;
  return GltfMeshStream::Read(std::make_shared<GltfMeshStream>(bytes, binary, options));
}

}  // namespace torvik
