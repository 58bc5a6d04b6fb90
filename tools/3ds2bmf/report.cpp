#include "report.h"

#include <algorithm>
#include <cstdio>

#include "torvik32c/reports.h"

namespace {

std::string Milliseconds(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", ms);
  return text;
}

std::string TexturesText(const FileResult& r) {
  std::string text = "textures " + std::to_string(torvik::FoundCount(r.textures)) + "/" +
                     std::to_string(r.textures.size()) + " found";
  if (!r.copied.empty())
    text += ", " + std::to_string(std::count(r.copied.begin(), r.copied.end(), true)) + " copied";
  if (r.maps) {
    const std::vector<torvik::TextureResolution> files = torvik::DistinctMapFiles(*r.maps, true);
    text += ", maps " + std::to_string(torvik::FoundCount(files)) + "/" +
            std::to_string(files.size()) + " found";
    if (!r.map_copies.empty())
      text += ", " +
              std::to_string(std::count_if(r.map_copies.begin(), r.map_copies.end(),
                                           [](const auto& copy) { return copy.second; })) +
              " copied";
  }
  return text;
}

}  // namespace

std::string SummaryLine(const FileResult& r) {
  if (!r.ok) return torvik::ShownText(r.input) + ": failed: " + r.error;
  return torvik::ShownText(r.input) + (r.format.empty() ? "" : " (" + r.format + ")") + ": " +
         torvik::Counted(r.blocks, "block") + ", " +
         torvik::Counted(r.vertices, "vertex", "vertices") + ", " +
         torvik::Counted(r.triangles, "triangle") + ", " + std::to_string(r.degenerate) +
         " degenerate dropped, " +
         (r.default_material ? "default material used" : "no default material") + ", " +
         TexturesText(r) + ", " + Milliseconds(r.milliseconds) + " ms -> " +
         torvik::ShownText(r.output) +
         (r.preview.empty() ? "" : " and " + torvik::ShownText(r.preview)) +
         (r.gltf.empty() ? "" : " and " + torvik::ShownText(r.gltf));
}

std::string JsonLine(const FileResult& r, const torvik::NameDecoder& names) {
  std::string line = "{\"path\":" + torvik::JsonString(r.input) +
                     (r.format.empty() ? "" : ",\"format\":" + torvik::JsonString(r.format)) +
                     ",\"output\":" + torvik::JsonString(r.output) +
                     ",\"ok\":" + (r.ok ? "true" : "false") +
                     ",\"error\":" + (r.ok ? std::string("null") : torvik::JsonString(r.error));
  line += ",\"blocks\":" + std::to_string(r.blocks) +
          ",\"vertices\":" + std::to_string(r.vertices) +
          ",\"triangles\":" + std::to_string(r.triangles) +
          ",\"degenerate\":" + std::to_string(r.degenerate) +
          ",\"default_material\":" + (r.default_material ? "true" : "false") +
          ",\"milliseconds\":" + Milliseconds(r.milliseconds);
  line += ",\"textures\":" +
          torvik::TexturesJson(r.textures, r.copied.empty() ? nullptr : &r.copied, names);
  if (r.maps)
    line += ",\"maps\":" +
            torvik::MaterialMapsJson(*r.maps, r.copied.empty() ? nullptr : &r.map_copies, names);
  if (r.keyframer)
    line += ",\"keyframer\":{\"nodes\":" + std::to_string(r.keyframer->nodes) +
            ",\"instances\":" + std::to_string(r.keyframer->instances) +
            ",\"moved\":" + std::to_string(r.keyframer->moved) + "}";
  if (r.contents)
    line += ",\"animation\":" + torvik::AnimationJson(*r.contents) +
            ",\"cameras\":" + torvik::CamerasJson(*r.contents, names) +
            ",\"lights\":" + torvik::LightsJson(*r.contents, names);
  if (r.reversed) line += ",\"reversed\":" + std::to_string(*r.reversed);
  if (r.instances) line += ",\"instances\":" + std::to_string(*r.instances);
  if (!r.embedded.empty()) {
    line += ",\"embedded\":[";
    for (std::size_t i = 0; i < r.embedded.size(); ++i)
      line.append(i > 0 ? "," : "").append(torvik::JsonString(r.embedded[i]));
    line += "]";
  }
  if (!r.preview.empty()) line += ",\"preview\":" + torvik::JsonString(r.preview);
  if (!r.gltf.empty()) line += ",\"gltf\":" + torvik::JsonString(r.gltf);
  if (!r.notes.empty()) {
    line += ",\"notes\":[";
    for (std::size_t i = 0; i < r.notes.size(); ++i) {
      if (i > 0) line += ',';
      line += torvik::JsonString(r.notes[i]);
    }
    line += "]";
  }
  line += "}";
  return line;
}

std::string BatchSummary(const std::vector<FileResult>& results, double seconds) {
  std::size_t converted = 0, warnings = 0;
  for (const FileResult& r : results) {
    converted += r.ok ? 1 : 0;
    warnings += r.notes.size();
  }
  char time[32];
  std::snprintf(time, sizeof time, "%.1f s", seconds);
  return "3ds2bmf: " + torvik::Counted(results.size(), "file") + ": " + std::to_string(converted) +
         " converted, " + std::to_string(results.size() - converted) + " failed, " +
         torvik::Counted(warnings, "warning") + ", " + time;
}

std::string ErrorLine(const FileResult& r) {
  return "3ds2bmf: " + torvik::ShownText(r.error_path) + ": " + r.error;
}

std::string ProgressBar(std::size_t done, std::size_t total, std::size_t width) {
  const std::size_t filled = total == 0 ? width : done * width / total;
  std::string bar(1, '[');
  bar.append(filled, '#').append(width - filled, ' ').append("] ");
  bar += std::to_string(done);
  bar += '/';
  bar += std::to_string(total);
  return bar;
}
