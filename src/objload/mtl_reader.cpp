#include "mtl_reader.h"

#include <algorithm>

#include "import/material_opacity.h"
#include "obj_lines.h"
#include "torvik32c/model_import.h"
#include "torvik32c/name_text.h"

namespace torvik::objload {

namespace {

// map_Kd's options and how many values each takes; the file name follows.
constexpr std::pair<std::string_view, int> kMapOptions[] = {
    {"-blendu", 1}, {"-blendv", 1},  {"-bm", 1},  {"-boost", 1}, {"-cc", 1},
    {"-clamp", 1},  {"-imfchan", 1}, {"-mm", 2},  {"-o", 3},     {"-s", 3},
    {"-t", 3},      {"-texres", 1},  {"-type", 1}};

// What stays of a material while its statements are read: the colours
// given, so that a missing ambient colour can take the diffuse one.
struct Pending {
  H3dsMat mat;
  bool ambient = false;
};

}  // namespace

void ReadMtl(std::span<const byte> bytes, const std::string& file,
             std::vector<H3dsMat>& materials) {
  StatementReader reader(bytes);
  Statement statement;
  std::vector<Pending> read;
  const auto fail = [&](const std::string& problem) {
    throw ImportError("OBJ", ShownText(file) + " line " + std::to_string(statement.line), problem);
  };
  const auto colour = [&](H3dsRGBColor& out) {
    if (statement.words.size() < 2) fail("a colour needs its red, green and blue");
    if (statement.words[1] == "spectral" || statement.words[1] == "xyz") return;
    float c[3];
    for (std::size_t i = 0; i < 3; ++i) {
      // One value stands for all three.
      const std::size_t word = statement.words.size() >= 4 ? i + 1 : 1;
      const std::optional<float> value = Number(statement.words[word]);
      if (!value) fail(Quoted(statement.words[word]) + " is no number");
      c[i] = *value;
    }
    out = {c[0], c[1], c[2], false};
  };
  while (reader.Next(statement)) {
    const std::string_view key = statement.words[0];
    if (key == "newmtl") {
      read.emplace_back();
      read.back().mat.name = std::string(statement.rest);
      read.back().mat.diffuse = {1, 1, 1, false};
      import::SetOpacity(read.back().mat, 1);
      continue;
    }
    if (read.empty()) continue;
    Pending& pending = read.back();
    H3dsMat& mat = pending.mat;
    if (key == "Kd") {
      colour(mat.diffuse);
    } else if (key == "Ka") {
      colour(mat.ambient);
      pending.ambient = true;
    } else if (key == "Ks") {
      colour(mat.specular);
    } else if (key == "d" || key == "Tr") {
      const std::size_t word = statement.words.size() > 2 && statement.words[1] == "-halo" ? 2 : 1;
      if (statement.words.size() <= word) fail("needs a number");
      const std::optional<float> value = Number(statement.words[word]);
      if (!value) fail(Quoted(statement.words[word]) + " is no number");
      import::SetOpacity(mat, key == "d" ? *value : 1 - static_cast<double>(*value));
    } else if (key == "map_Kd") {
      std::size_t word = 1;
      while (word < statement.words.size()) {
        const auto option =
            std::find_if(std::begin(kMapOptions), std::end(kMapOptions),
                         [&](const auto& o) { return o.first == statement.words[word]; });
        if (option == std::end(kMapOptions)) break;
        word += 1 + static_cast<std::size_t>(option->second);
      }
      if (word >= statement.words.size()) continue;
      // The file name is the rest of the line: it may hold blanks.
      const char* start = statement.words[word].data();
      const std::string_view last = statement.words.back();
      mat.texture.texturename.assign(start, last.data() + last.size());
      // A BMF stores the name up to a zero byte, as a 3DS file does.
      mat.texture.texturename.resize(std::min(mat.texture.texturename.find('\0'),
                                              mat.texture.texturename.size()));
      mat.Map(MapKind::texture).present = true;
      mat.Map(MapKind::texture).name = mat.texture.texturename;
    }
  }
  for (Pending& pending : read) {
    if (!pending.ambient) pending.mat.ambient = pending.mat.diffuse;
    const bool known = std::any_of(materials.begin(), materials.end(),
                                   [&](const H3dsMat& m) { return m.name == pending.mat.name; });
    if (!known) materials.push_back(std::move(pending.mat));
  }
}

}  // namespace torvik::objload
