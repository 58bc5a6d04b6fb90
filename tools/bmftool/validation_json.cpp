#include "validation_json.h"

#include "torvik32c/reports.h"

const char* RuleName(torvik::BmfRule rule) {
  switch (rule) {
    case torvik::BmfRule::block_count:
      return "block_count";
    case torvik::BmfRule::strip_flag:
      return "strip_flag";
    case torvik::BmfRule::name_length:
      return "name_length";
    case torvik::BmfRule::name_terminator:
      return "name_terminator";
    case torvik::BmfRule::vertex_count:
      return "vertex_count";
    case torvik::BmfRule::triangle_count:
      return "triangle_count";
    case torvik::BmfRule::vertex_budget:
      return "vertex_budget";
    case torvik::BmfRule::index_range:
      return "index_range";
    case torvik::BmfRule::first_use_order:
      return "first_use_order";
    case torvik::BmfRule::unused_vertex:
      return "unused_vertex";
    case torvik::BmfRule::trailing_bytes:
      return "trailing_bytes";
  }
  return "unknown";
}

std::string ValidationJson(const std::string& path, const torvik::BmfFile& file,
                           const std::vector<torvik::BmfViolation>& violations) {
  std::string json =
      "{\"path\":" + torvik::JsonString(path) + ",\"valid\":" + (violations.empty() ? "true" : "false") +
      ",\"error\":null,\"blocks\":" + std::to_string(file.blocks.size()) + ",\"violations\":[";
  for (std::size_t i = 0; i < violations.size(); ++i) {
    const torvik::BmfViolation& violation = violations[i];
    if (i != 0) json += ',';
    json += std::string("{\"rule\":\"") + RuleName(violation.rule) +
            "\",\"offset\":" + std::to_string(violation.byte_offset) + ",\"block\":" +
            (violation.block < 0 ? std::string("null") : std::to_string(violation.block)) +
            ",\"message\":" + torvik::JsonString(violation.message) + "}";
  }
  return json + "]}";
}
