// The OBJ reader: positions, texture coordinates and normals as the faces
// pair them, polygons fanned into triangles, usemtl groups as the mesh's
// face-material groups.
#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <limits>
#include <unordered_map>

#include "import/mesh_assembly.h"
#include "mtl_reader.h"
#include "obj_lines.h"
#include "torvik32c/name_text.h"
#include "torvik32c/obj_import.h"

namespace torvik {

namespace {

using import::MeshAssembler;
using import::SourceVertex;
using objload::Statement;

constexpr const char* kObj = "OBJ";

// A corner's indices into the positions, texture coordinates and normals
// (-1: none).
struct Corner {
  std::int64_t v = -1, vt = -1, vn = -1;
};

struct CornerHash {
  std::size_t operator()(const std::array<std::int64_t, 3>& key) const {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const std::int64_t part : key) {
      hash ^= static_cast<std::uint64_t>(part);
      hash *= 0x100000001B3ull;
    }
    return static_cast<std::size_t>(hash ^ (hash >> 32));
  }
};

// "corner names position 40, and 12 are defined above it".
std::string OutOfRange(const char* what, std::int64_t value, std::size_t count) {
  std::string message = "corner names ";
  message.append(what).append(" ").append(std::to_string(value));
  message.append(", and ").append(std::to_string(count)).append(" are defined above it");
  return message;
}

// OBJ's axes (y up) to the 3DS file's (z up), as bmftool obj writes them.
H3dsVert FileAxes(float x, float y, float z) { return {x, -z, y}; }

class ObjSceneReader {
 public:
  ObjSceneReader(std::span<const byte> bytes, const ImportOptions& options)
      : bytes_(bytes), options_(options), assembler_("OBJ", options.file_normals) {
    std::string stem = std::filesystem::path(options.model_name).stem().string();
    if (!stem.empty()) assembler_ = MeshAssembler(stem, options.file_normals);
  }

  ImportedScene Read() && {
    objload::StatementReader reader(bytes_);
    std::size_t statements = 0;
    while (reader.Next(statement_)) {
      if (++statements % 65536 == 0) StopIfCancelled(options_.cancel);
      const std::string_view key = statement_.words[0];
      if (key == "v")
        positions_.push_back(Floats<3>(1, "a position needs x, y and z"));
      else if (key == "vt")
        texcoords_.push_back(TexCoord());
      else if (key == "vn")
        normals_.push_back(Floats<3>(1, "a normal needs x, y and z"));
      else if (key == "f")
        Face();
      else if (key == "usemtl")
        slot_ = assembler_.Slot(std::string(statement_.rest));
      else if (key == "mtllib")
        Library();
      else if (key == "l" || key == "p")
        ++left_out_;
    }
    for (const H3dsMat& mat : out_.scene.material) known_.push_back(mat.name);
    if (left_out_ > 0)
      out_.warnings.push_back(std::to_string(left_out_) +
                              " lines and points are left out: BMF draws triangles");
    if (short_faces_ > 0)
      out_.warnings.push_back(std::to_string(short_faces_) +
                              " faces of fewer than 3 corners are left out");
    assembler_.Finish(out_, [this](const std::string& binding) {
      for (const H3dsMat& mat : out_.scene.material)
        if (mat.name == binding) return mat.doublesided != 0;
      return binding == kDefaultMaterialName;
    });
    NoteUnknownMaterials();
    return std::move(out_);
  }

 private:
  [[noreturn]] void Fail(const std::string& problem) const {
    throw ImportError(kObj, "line " + std::to_string(statement_.line), problem);
  }

  float NumberAt(std::size_t word) const {
    const std::optional<float> value = objload::Number(statement_.words[word]);
    if (!value) Fail(objload::Quoted(statement_.words[word]) + " is no number");
    return *value;
  }

  template <std::size_t N>
  std::array<float, N> Floats(std::size_t first, const char* problem) const {
    if (statement_.words.size() < first + N) Fail(problem);
    std::array<float, N> values;
    for (std::size_t i = 0; i < N; ++i) values[i] = NumberAt(first + i);
    return values;
  }

  std::array<float, 2> TexCoord() const {
    if (statement_.words.size() < 2) Fail("texture coordinates need u");
    return {NumberAt(1), statement_.words.size() > 2 ? NumberAt(2) : 0.0f};
  }

  // An index as the file gives it (from 1, or negative from the end) into
  // a list of `count` entries defined so far.
  std::int64_t Index(std::string_view text, std::size_t count, const char* what) const {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0)
      Fail(objload::Quoted(text) + " is no index");
    const std::int64_t index = value < 0 ? static_cast<std::int64_t>(count) + value : value - 1;
    if (index < 0 || index >= static_cast<std::int64_t>(count))
      Fail(OutOfRange(what, value, count));
    return index;
  }

  Corner CornerOf(std::string_view word) const {
    Corner corner;
    const std::size_t first = word.find('/');
    corner.v = Index(word.substr(0, first), positions_.size(), "position");
    if (first == std::string_view::npos) return corner;
    const std::string_view rest = word.substr(first + 1);
    const std::size_t second = rest.find('/');
    const std::string_view vt = rest.substr(0, second);
    if (!vt.empty()) corner.vt = Index(vt, texcoords_.size(), "texture coordinates");
    if (second != std::string_view::npos && second + 1 < rest.size())
      corner.vn = Index(rest.substr(second + 1), normals_.size(), "normal");
    return corner;
  }

  std::uint32_t VertexOf(const Corner& corner) {
    const std::array<std::int64_t, 3> key{corner.v, corner.vt,
                                          options_.file_normals ? corner.vn : -1};
    const auto [found, added] = vertices_.try_emplace(key, 0);
    if (!added) return found->second;
    SourceVertex source;
    const std::array<float, 3>& p = positions_[static_cast<std::size_t>(corner.v)];
    source.position = FileAxes(p[0], p[1], p[2]);
    if (corner.vt >= 0) {
      const std::array<float, 2>& uv = texcoords_[static_cast<std::size_t>(corner.vt)];
      source.uv = {uv[0], uv[1]};
    }
    if (options_.file_normals) {
      const float nan = std::numeric_limits<float>::quiet_NaN();
      source.normal = {nan, nan, nan};
      if (corner.vn >= 0) {
        const std::array<float, 3>& n = normals_[static_cast<std::size_t>(corner.vn)];
        source.normal = FileAxes(n[0], n[1], n[2]);
      }
    }
    return found->second = assembler_.Added(source);
  }

  void Face() {
    const std::size_t corners = statement_.words.size() - 1;
    if (corners < 3) {
      ++short_faces_;
      return;
    }
    if (!slot_) slot_ = assembler_.Slot(kDefaultMaterialName);
    const std::uint32_t first = VertexOf(CornerOf(statement_.words[1]));
    std::uint32_t previous = VertexOf(CornerOf(statement_.words[2]));
    for (std::size_t c = 3; c <= corners; ++c) {
      const std::uint32_t next = VertexOf(CornerOf(statement_.words[c]));
      assembler_.Triangle(first, previous, next, *slot_);
      previous = next;
    }
  }

  // mtllib's files, each read beside the model (a name that leaves its
  // folder, or one missing, is a warning).
  void Library() {
    for (std::size_t w = 1; w < statement_.words.size(); ++w) {
      const std::string name(statement_.words[w]);
      const std::string path = CheckedRelativePath(name, false);
      const std::string what = "material library " + objload::Quoted(name);
      if (path.empty()) {
        out_.warnings.push_back(what + " is no path within the model's folder; it is not read");
        continue;
      }
      if (!options_.files) {
        out_.warnings.push_back(what + " is not read: no files beside the model");
        continue;
      }
      // Each library once, all of them within what is left of the input's
      // budget.
      if (std::find(libraries_.begin(), libraries_.end(), path) != libraries_.end()) continue;
      libraries_.push_back(path);
      std::vector<byte> bytes;
      try {
        bytes = options_.files(path, library_budget_);
      } catch (const Error& error) {
        out_.warnings.push_back(what + " is not read: " + error.what());
        continue;
      }
      library_budget_ -= std::min<std::uint64_t>(bytes.size(), library_budget_);
      objload::ReadMtl(bytes, name, out_.scene.material);
    }
  }

  void NoteUnknownMaterials() {
    std::vector<std::string> unknown;
    for (const H3dsMeshObj& mesh : out_.scene.meshobjlist)
      for (const H3dsMatList& binding : mesh.bindings) {
        if (binding.name == kDefaultMaterialName) {
          out_.scene.defaultmaterialwarning = true;
          continue;
        }
        if (std::find(known_.begin(), known_.end(), binding.name) == known_.end() &&
            std::find(unknown.begin(), unknown.end(), binding.name) == unknown.end())
          unknown.push_back(binding.name);
      }
    for (const std::string& name : unknown)
      out_.warnings.push_back("material " + objload::Quoted(name) +
                              " is in no material library; its faces take the default material");
  }

  std::span<const byte> bytes_;
  const ImportOptions& options_;
  MeshAssembler assembler_;
  Statement statement_;
  std::vector<std::array<float, 3>> positions_, normals_;
  std::vector<std::array<float, 2>> texcoords_;
  std::unordered_map<std::array<std::int64_t, 3>, std::uint32_t, CornerHash> vertices_;
  std::optional<std::size_t> slot_;
  std::vector<std::string> known_;
  std::vector<std::string> libraries_;  // read already
  std::uint64_t library_budget_ = kMaxModelBytes - bytes_.size();
  std::size_t left_out_ = 0, short_faces_ = 0;
  ImportedScene out_;
};

}  // namespace

ImportedScene ReadObjScene(std::span<const byte> bytes, const ImportOptions& options) {
  if (bytes.size() > kMaxModelBytes)
    throw ImportError(kObj, "", "more than " + std::to_string(kMaxModelBytes) + " bytes");
  return ObjSceneReader(bytes, options).Read();
}

}  // namespace torvik
