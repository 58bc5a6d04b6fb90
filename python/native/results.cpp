#include "results.h"

#include <pybind11/stl.h>

#include <utility>

#include "arrays.h"
#include "options.h"

namespace torvik_python {

namespace {

py::object Result(const char* name) { return py::module_::import("torvik32c.results").attr(name); }

// A stored name as a str: valid UTF-8 as it is, anything else as `names`
// decodes it (Windows-1252 when none), as 3ds2bmf writes names as text.
py::str Text(const std::string& stored, const torvik::NameDecoder& names) {
  return py::str(torvik::NameUtf8(stored, names));
}

py::tuple Rgba(const torvik::BMF_RGBCOLOR& c) {
  return py::make_tuple(c.red, c.green, c.blue, c.alpha);
}
py::tuple Rgb(const torvik::H3dsRGBColor& c) { return py::make_tuple(c.red, c.green, c.blue); }
template <std::size_t N>
py::tuple Floats(const float (&values)[N]) {
  py::tuple tuple(N);
  for (std::size_t i = 0; i < N; ++i) tuple[i] = values[i];
  return tuple;
}

py::object BlockOf(torvik::BmfBlock&& block, const torvik::NameDecoder& names) {
  static_assert(sizeof(torvik::BMF_UNVERTEX) == 8 * sizeof(float));
  static_assert(sizeof(torvik::BMF_SURFACE) == 3 * sizeof(torvik::uword));
  const std::string texture = block.TextureName();
  return Result("Block")(Text(texture, names), Rgba(block.ambient), Rgba(block.diffuse),
                         Rgba(block.specular), RecordArray<float>(std::move(block.vertices), 8),
                         RecordArray<torvik::uword>(std::move(block.triangles), 3));
}

py::object MeshOf(torvik::H3dsMeshObj&& mesh, const torvik::NameDecoder& names) {
  static_assert(sizeof(torvik::H3dsVert) == 3 * sizeof(float));
  static_assert(sizeof(torvik::H3dsMap) == 2 * sizeof(float));
  static_assert(sizeof(torvik::H3dsFace) == 4 * sizeof(torvik::uword));
  // The faces' corners and flag words are views of one table.
  const std::size_t faces = mesh.facelist.size();
  const torvik::H3dsFace* face_data = nullptr;
  const py::capsule face_owner = OwnerOf(std::move(mesh.facelist), &face_data);
  py::dict groups;
  for (torvik::H3dsMatList& binding : mesh.bindings) {
    // A material named twice keeps its first group, as the conversion does.
    const py::str name = Text(binding.name, names);
    if (groups.contains(name)) continue;
    groups[name] = RecordArray<torvik::uword>(std::move(binding.faces), 0);
  }
  py::object matrix = py::none();
  if (mesh.matrix != 0) {
    py::array_t<float> rows({4, 3});
    std::copy(std::begin(mesh.TraMatrix), std::end(mesh.TraMatrix), rows.mutable_data());
    matrix = std::move(rows);
  }
  py::object smoothing = py::none();
  if (!mesh.smoothing.empty()) smoothing = RecordArray<torvik::dword>(std::move(mesh.smoothing), 0);
  return Result("Mesh")(
      Text(mesh.name, names), RecordArray<float>(std::move(mesh.vertlist), 3),
      RecordArray<float>(std::move(mesh.maplist), 2),
      Columns<torvik::uword>(face_data, faces, 0, 3, face_owner),
      Columns<torvik::uword>(face_data, faces, 3 * sizeof(torvik::uword), 0, face_owner), smoothing,
      groups, matrix);
}

py::object MaterialOf(const torvik::H3dsMat& material, const torvik::NameDecoder& names) {
  return Result("Material")(Text(material.name, names), Rgb(material.ambient),
                            Rgb(material.diffuse), Rgb(material.specular),
                            material.doublesided != 0, Text(material.texture.texturename, names),
                            material.alpha);
}

py::object NodeOf(const torvik::H3dsNode& node, const torvik::NameDecoder& names) {
  return Result("Node")(
      node.kind, node.id, Text(node.name, names), Text(node.instance, names),
      node.parent == 0xFFFF ? py::none() : py::object(py::int_(node.parent)), Floats(node.pivot),
      node.has_position ? py::object(Floats(node.position)) : py::none(),
      node.has_rotation
          ? py::object(py::make_tuple(node.rotation_angle, Floats(node.rotation_axis)))
          : py::none(),
      node.has_scale ? py::object(Floats(node.scale)) : py::none());
}

}  // namespace

py::list TextureList(const std::vector<torvik::TextureResolution>& textures,
                     const torvik::NameDecoder& names) {
  py::list list;
  for (const torvik::TextureResolution& texture : textures) {
    py::list candidates;
    if (texture.ambiguous())
      for (const auto& candidate : texture.candidates)
        candidates.append(PathText(candidate.string()));
    list.append(Result("Texture")(
        Text(texture.name, names),
        texture.found() ? py::object(PathText(texture.path->string())) : py::none(),
        texture.found() ? py::object(py::str(torvik::TextureRuleName(texture.rule))) : py::none(),
        candidates));
  }
  return list;
}

py::object KeyframerEffectOf(const torvik::KeyframerEffect& effect) {
  return Result("KeyframerEffect")(effect.nodes, effect.instances, effect.moved);
}

namespace {

// The images stored inside a glTF, as EmbeddedImage objects, each with
// where it lies beside the BMF (None for an empty or missing path).
py::list ImagesOf(const std::vector<torvik::EmbeddedImage>& images,
                  const std::vector<std::filesystem::path>& paths = {}) {
  py::list list;
  for (std::size_t i = 0; i < images.size(); ++i) {
    const torvik::EmbeddedImage& image = images[i];
    const bool written = i < paths.size() && !paths[i].empty();
    list.append(Result("EmbeddedImage")(
        py::str(torvik::NameUtf8(image.texture_name)), py::str(image.file_name),
        py::bytes(reinterpret_cast<const char*>(image.bytes.data()), image.bytes.size()),
        written ? py::object(PathText(paths[i].string())) : py::none()));
  }
  return list;
}

}  // namespace

py::object ConversionOf(const torvik::ConversionReport& report, const std::string& source,
                        const std::string& destination, const torvik::NameDecoder& names,
                        const std::vector<std::filesystem::path>& image_paths) {
  return Result("Conversion")(PathText(source), PathText(destination), report.blocks,
                              report.vertices, report.triangles, report.degenerate,
                              report.default_material, KeyframerEffectOf(report.keyframer),
                              report.reversed, TextureList(report.textures, names),
                              py::cast(report.warnings), torvik::ModelFormatName(report.format),
                              report.instances, ImagesOf(report.images, image_paths));
}

py::object BmfBytesOf(const std::vector<torvik::byte>& bmf,
                      const std::vector<torvik::EmbeddedImage>& images) {
  // BmfBytes copies the view once: the BMF is not copied twice.
  return Result("BmfBytes")(py::memoryview::from_memory(bmf.data(), bmf.size()), ImagesOf(images));
}

py::object BmfModelOf(torvik::BmfFile&& file,
                      const std::vector<torvik::TextureResolution>& textures,
                      const torvik::NameDecoder& names) {
  py::list violations;
  for (const torvik::BmfViolation& violation : torvik::ValidateBmf(file))
    violations.append(torvik::DescribeViolation(violation));
  py::list blocks;
  for (torvik::BmfBlock& block : file.blocks) blocks.append(BlockOf(std::move(block), names));
  return Result("BmfModel")(blocks, file.strip_flag, file.trailing_bytes, violations,
                            TextureList(textures, names));
}

py::object SceneOf(torvik::H3dsScene&& scene, const SceneFacts& facts,
                   const torvik::NameDecoder& names) {
  py::list nodes;
  for (const torvik::H3dsNode& node : scene.nodes) nodes.append(NodeOf(node, names));
  py::list materials;
  for (const torvik::H3dsMat& material : scene.material)
    materials.append(MaterialOf(material, names));
  py::list meshes;
  for (torvik::H3dsMeshObj& mesh : scene.meshobjlist) meshes.append(MeshOf(std::move(mesh), names));
  const py::object keyframer = Result("Keyframer")(nodes, KeyframerEffectOf(facts.effect),
                                                   py::cast(facts.warnings), facts.applied);
  return Result("Scene")(meshes, materials, TextureList(facts.textures, names), keyframer);
}

}  // namespace torvik_python
