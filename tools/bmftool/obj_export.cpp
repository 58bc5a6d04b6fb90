#include "obj_export.h"

#include <cctype>
#include <charconv>

#include "torvik32c/reports.h"
#include "torvik32c/export_conventions.h"

namespace {

// The shortest text that reads back as the same float.
void AppendNumber(std::string& out, float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

void AppendLine(std::string& out, const char* key, std::initializer_list<float> values) {
  out += key;
  for (const float value : values) {
    out += ' ';
    AppendNumber(out, value);
  }
  out += '\n';
}

// Control characters would break the line structure of the files.
std::string OneLine(const std::string& text) {
  std::string line = text;
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20) c = '_';
  return line;
}

// What an MTL file can name of a texture that was not found: the stored
// name's last component (no folders, no drive, no "..").
std::string LastComponent(const std::string& stored) {
  std::string last, component;
  for (std::size_t i = 0; i <= stored.size(); ++i) {
    if (i == stored.size() || stored[i] == '/' || stored[i] == '\\') {
      if (!component.empty() && component != "." && component != "..") last = component;
      component.clear();
    } else {
      component += stored[i];
    }
  }
  // "C:name" names a file in drive C's current folder.
  if (last.size() >= 2 && last[1] == ':' && std::isalpha(static_cast<unsigned char>(last[0])))
    last.erase(0, 2);
  return last;
}

void AppendMaterial(std::string& mtl, std::size_t index, const torvik::BmfBlock& block,
                    const std::string& texture_file, const torvik::NameDecoder& names) {
  mtl += "newmtl block" + std::to_string(index) + "\n";
  AppendLine(mtl, "Ka", {block.ambient.red, block.ambient.green, block.ambient.blue});
  AppendLine(mtl, "Kd", {block.diffuse.red, block.diffuse.green, block.diffuse.blue});
  AppendLine(mtl, "Ks", {block.specular.red, block.specular.green, block.specular.blue});
  AppendLine(mtl, "d", {torvik::OpacityOf(block.diffuse.alpha)});
  mtl += "illum 2\n";
  const std::string texture = texture_file.empty()
                                  ? torvik::NameUtf8(LastComponent(block.TextureName()), names)
                                  : torvik::ValidUtf8(texture_file);
  if (!texture.empty()) mtl += "map_Kd " + OneLine(texture) + "\n";
  mtl += '\n';
}

}  // namespace

ObjText ExportObj(const torvik::BmfFile& file, const std::string& mtl_name,
                  std::span<const std::string> texture_files, torvik::ExportAxes axes,
                  const torvik::NameDecoder& names) {
  ObjText text;
  text.mtl = "# Materials of a BMF model, one per block, written by bmftool\n\n";
  text.obj = "# A BMF model written by bmftool: " + std::to_string(file.blocks.size()) +
             " blocks\nmtllib " + OneLine(mtl_name) + "\n";
  std::size_t first = 1;  // OBJ index of the block's vertex 0
  for (std::size_t b = 0; b < file.blocks.size(); ++b) {
    const torvik::BmfBlock& block = file.blocks[b];
    AppendMaterial(text.mtl, b, block, b < texture_files.size() ? texture_files[b] : std::string(),
                   names);
    text.obj += "\ng block" + std::to_string(b) + "\nusemtl block" + std::to_string(b) + "\n";
    for (const torvik::BMF_UNVERTEX& v : block.vertices) {
      const std::array<float, 3> p = torvik::ExportPosition(v, axes);
      AppendLine(text.obj, "v", {p[0], p[1], p[2]});
    }
    for (const torvik::BMF_UNVERTEX& v : block.vertices) AppendLine(text.obj, "vt", {v.u, v.v});
    for (const torvik::BMF_UNVERTEX& v : block.vertices) {
      const std::array<float, 3> n = torvik::ExportNormal(v, axes);
      AppendLine(text.obj, "vn", {n[0], n[1], n[2]});
    }
    for (const torvik::BMF_SURFACE& t : block.triangles) {
      if (t.p0 >= block.vertices.size() || t.p1 >= block.vertices.size() ||
          t.p2 >= block.vertices.size())
        continue;
      text.obj += 'f';
      for (const std::size_t corner : torvik::ExportCorners(t, axes)) {
        const std::string index = std::to_string(first + corner);
        text.obj += ' ' + index + '/' + index + '/' + index;
      }
      text.obj += '\n';
    }
    first += block.vertices.size();
  }
  return text;
}
