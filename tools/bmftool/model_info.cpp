#include "model_info.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <span>

#include "cache_metrics.h"
#include "torvik32c/reports.h"
#include "meshoptimizer_available.h"

namespace {

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string ColourText(const torvik::BMF_RGBCOLOR& c) {
  return Number(c.red) + " " + Number(c.green) + " " + Number(c.blue) + ", alpha " +
         Number(c.alpha);
}

std::string JsonArray(std::initializer_list<float> values) {
  std::string out = "[";
  for (const float value : values) {
    if (out.size() > 1) out += ',';
    out += torvik::JsonNumber(value);
  }
  out += ']';
  return out;
}

std::string ColourJson(const torvik::BMF_RGBCOLOR& c) {
  return JsonArray({c.red, c.green, c.blue, c.alpha});
}

std::string NormalsText(const torvik::BmfBlock& block, const BlockFacts& facts) {
  if (block.vertices.empty()) return "none";
  if (facts.non_unit_normals == 0) return "all unit length";
  return std::to_string(facts.non_unit_normals) + " of " + std::to_string(block.vertices.size()) +
         " not unit length";
}

std::string BoundsText(const BlockFacts& facts) {
  if (!facts.has_bounds) return "none";
  return "x " + Number(facts.low[0]) + " .. " + Number(facts.high[0]) + ", y " +
         Number(facts.low[1]) + " .. " + Number(facts.high[1]) + ", z " + Number(facts.low[2]) +
         " .. " + Number(facts.high[2]);
}

const torvik::TextureResolution* Find(const std::vector<torvik::TextureResolution>& textures,
                                      const std::string& name) {
  for (const torvik::TextureResolution& texture : textures)
    if (texture.name == name) return &texture;
  return nullptr;
}

// How the GPU fares with some blocks: the vertex cache and, when asked
// for, overdraw.  Both stay empty where they can't be measured.
struct GpuFigures {
  std::optional<VertexCacheFigures> cache;
  std::optional<double> overdraw;

  std::optional<double> Acmr() const { return cache ? std::optional(cache->Acmr()) : std::nullopt; }
  std::optional<double> Atvr() const { return cache ? std::optional(cache->Atvr()) : std::nullopt; }
};

GpuFigures BlockGpuFigures(const torvik::BmfBlock& block, bool overdraw) {
  return {MeasureVertexCache(block),
          overdraw ? MeasureOverdraw(std::span(&block, 1)) : std::nullopt};
}

// The whole file's figures: the blocks' cache figures summed (no vertex is
// shared between blocks), and the overdraw of all blocks drawn in order.
GpuFigures FileGpuFigures(const torvik::BmfFile& file, bool overdraw) {
  GpuFigures figures{VertexCacheFigures{}, overdraw ? MeasureOverdraw(file.blocks) : std::nullopt};
  for (const torvik::BmfBlock& block : file.blocks) {
    if (block.triangles.empty()) continue;
    const std::optional<VertexCacheFigures> cache = MeasureVertexCache(block);
    if (!cache) return {std::nullopt, figures.overdraw};
    *figures.cache += *cache;
  }
  if (figures.cache->triangles == 0) figures.cache.reset();
  return figures;
}

std::string Fixed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

std::string GpuText(const GpuFigures& figures, bool overdraw) {
  std::string text = figures.cache
                         ? "ACMR " + Fixed(*figures.Acmr()) + ", ATVR " + Fixed(*figures.Atvr())
                         : std::string("ACMR and ATVR not measured");
  if (overdraw)
    text += figures.overdraw ? ", overdraw " + Fixed(*figures.overdraw) : ", no overdraw";
  return text;
}

std::string JsonOrNull(std::optional<double> value) {
  return value ? torvik::JsonNumber(static_cast<float>(*value)) : std::string("null");
}

std::string GpuJson(const GpuFigures& figures, bool overdraw) {
  std::string json =
      ",\"acmr\":" + JsonOrNull(figures.Acmr()) + ",\"atvr\":" + JsonOrNull(figures.Atvr());
  if (overdraw) json += ",\"overdraw\":" + JsonOrNull(figures.overdraw);
  return json;
}

}  // namespace

BlockFacts BlockFactsOf(const torvik::BmfBlock& block) {
  BlockFacts facts;
  for (const torvik::BMF_UNVERTEX& v : block.vertices) {
    const float position[3] = {v.x, v.y, v.z};
    if (std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) {
      for (int axis = 0; axis < 3; ++axis) {
        facts.low[axis] =
            facts.has_bounds ? std::min(facts.low[axis], position[axis]) : position[axis];
        facts.high[axis] =
            facts.has_bounds ? std::max(facts.high[axis], position[axis]) : position[axis];
      }
      facts.has_bounds = true;
    }
    const double length = std::sqrt(double{v.i} * v.i + double{v.j} * v.j + double{v.k} * v.k);
    if (!(std::abs(length - 1) <= kUnitTolerance)) ++facts.non_unit_normals;
  }
  return facts;
}

FileTotals TotalsOf(const torvik::BmfFile& file) {
  FileTotals totals;
  totals.blocks = file.blocks.size();
  totals.bytes = 4 + file.trailing_bytes;
  for (const torvik::BmfBlock& block : file.blocks) {
    totals.vertices += block.vertices.size();
    totals.triangles += block.triangles.size();
    totals.bytes += torvik::BmfBlockLayout(block).size;
  }
  return totals;
}

std::string InfoText(const std::string& path, const torvik::BmfFile& file,
                     const std::vector<torvik::TextureResolution>& textures, bool overdraw,
                     const torvik::NameDecoder& names) {
  const FileTotals totals = TotalsOf(file);
  std::string text = torvik::ShownText(path) + ": " + torvik::Counted(totals.blocks, "block") +
                     ", " + torvik::Counted(totals.vertices, "vertex", "vertices") + ", " +
                     torvik::Counted(totals.triangles, "triangle") + ", " +
                     std::to_string(totals.bytes) + " bytes\n";
  const std::size_t violations = torvik::ValidateBmf(file).size();
  if (violations != 0)
    text +=
        "  not a valid BMF file: " + torvik::Counted(violations, "violation") + " (see bmftool validate)\n";
  text += "  GPU      " +
          (kHaveMeshOptimizer ? GpuText(FileGpuFigures(file, overdraw), overdraw)
                              : std::string("not measured: ") + kNoMeshOptimizer) +
          "\n";
  for (std::size_t b = 0; b < file.blocks.size(); ++b) {
    const torvik::BmfBlock& block = file.blocks[b];
    const BlockFacts facts = BlockFactsOf(block);
    const std::string texture = block.TextureName();
    text += "  block " + std::to_string(b) + ": texture " +
            (texture.empty() ? std::string("none") : torvik::QuotedName(texture, names));
    if (const torvik::TextureResolution* found = Find(textures, texture))
      text += ", " + torvik::TextureOutcome(*found);
    text += "\n";
    text += "    ambient  " + ColourText(block.ambient) + "\n";
    text += "    diffuse  " + ColourText(block.diffuse) + "\n";
    text += "    specular " + ColourText(block.specular) + "\n";
    text += "    V " + std::to_string(block.vertices.size()) + ", T " +
            std::to_string(block.triangles.size()) + "\n";
    text += "    bounds   " + BoundsText(facts) + "\n";
    text += "    normals  " + NormalsText(block, facts) + "\n";
    if (kHaveMeshOptimizer && !block.triangles.empty())
      text += "    GPU      " + GpuText(BlockGpuFigures(block, overdraw), overdraw) + "\n";
  }
  return text;
}

std::string InfoJson(const std::string& path, const torvik::BmfFile& file,
                     const std::vector<torvik::TextureResolution>& textures, bool overdraw,
                     const torvik::NameDecoder& names) {
  const FileTotals totals = TotalsOf(file);
  std::string json = "{\"path\":" + torvik::JsonString(path) +
                     ",\"block_count\":" + std::to_string(totals.blocks) +
                     ",\"vertices\":" + std::to_string(totals.vertices) +
                     ",\"triangles\":" + std::to_string(totals.triangles) +
                     ",\"bytes\":" + std::to_string(totals.bytes) +
                     ",\"valid\":" + (torvik::ValidateBmf(file).empty() ? "true" : "false") +
                     GpuJson(FileGpuFigures(file, overdraw), overdraw) + ",\"blocks\":[";
  for (std::size_t b = 0; b < file.blocks.size(); ++b) {
    const torvik::BmfBlock& block = file.blocks[b];
    const BlockFacts facts = BlockFactsOf(block);
    if (b != 0) json += ',';
    const torvik::TextureResolution* texture = Find(textures, block.TextureName());
    json += "{\"texture\":" + torvik::JsonString(torvik::NameUtf8(block.TextureName(), names)) +
            ",\"texture_file\":" +
            (texture != nullptr ? torvik::TextureJson(*texture, names) : "null") +
            ",\"ambient\":" + ColourJson(block.ambient) +
            ",\"diffuse\":" + ColourJson(block.diffuse) +
            ",\"specular\":" + ColourJson(block.specular) +
            ",\"vertices\":" + std::to_string(block.vertices.size()) +
            ",\"triangles\":" + std::to_string(block.triangles.size()) + ",\"bounds\":";
    json += facts.has_bounds
                ? "{\"min\":" + JsonArray({facts.low[0], facts.low[1], facts.low[2]}) +
                      ",\"max\":" + JsonArray({facts.high[0], facts.high[1], facts.high[2]}) + "}"
                : std::string("null");
    json += ",\"unit_normals\":" + std::string(facts.non_unit_normals == 0 ? "true" : "false") +
            ",\"non_unit_normals\":" + std::to_string(facts.non_unit_normals) +
            GpuJson(BlockGpuFigures(block, overdraw), overdraw) + "}";
  }
  return json + "]}";
}

std::string InfoErrorJson(const std::string& path, const std::string& error) {
  return "{\"path\":" + torvik::JsonString(path) + ",\"valid\":false,\"error\":" + torvik::JsonString(error) + "}";
}
