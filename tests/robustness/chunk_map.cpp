#include "chunk_map.h"

#include <cstring>

namespace robustness {

namespace {

std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(U16(b, at)) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

// Position just past the zero byte of the name at `at`, or `end` when none.
std::size_t SkipName(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t end) {
  const void* nul = at < end ? std::memchr(b.data() + at, 0, end - at) : nullptr;
  return nul == nullptr ? end : static_cast<const std::uint8_t*>(nul) - b.data() + 1;
}

bool IsContainer(std::uint16_t id) {
  switch (id) {
    case 0x4D4D:  // main
    case 0x3D3D:  // editor
    case 0x4100:  // triangle mesh
    case 0xAFFF:  // material
    case 0xA010:  // ambient
    case 0xA020:  // diffuse
    case 0xA030:  // specular
    case 0xA050:  // transparency
    case 0xA200:  // texture map
      return true;
    default:
      return false;
  }
}

void Walk(const std::vector<std::uint8_t>& b, std::size_t pos, std::size_t end,
          std::vector<ChunkSite>& sites) {
  while (end - pos >= 6) {
    const std::uint32_t length = U32(b, pos + 2);
    if (length < 6 || length > end - pos) return;
    ChunkSite site{U16(b, pos), pos, pos + length, end};
    const std::size_t body = pos + 6;
    std::size_t children = site.end;  // no children unless the id says so
    if (IsContainer(site.id)) {
      children = body;
    } else if (site.id == 0x4000) {  // object: name, then sub-chunks
      children = SkipName(b, body, site.end);
    } else if (site.id == 0x4110 || site.id == 0x4140 || site.id == 0x4120) {
      site.count_at = body;
      site.record_size = site.id == 0x4110 ? 12 : 8;
      if (site.id == 0x4120 && site.end - body >= 2)  // faces, then the groups
        children = body + 2 + 8 * std::size_t{U16(b, body)};
    } else if (site.id == 0x4130) {  // group: name, count, face indices
      site.count_at = SkipName(b, body, site.end);
      site.record_size = 2;
    }
    if (site.count_at != kNoCount && site.end - site.count_at < 2) site.count_at = kNoCount;
    sites.push_back(site);
    if (children < site.end) Walk(b, children, site.end, sites);
    pos = site.end;
  }
}

}  // namespace

std::vector<ChunkSite> MapChunks(const std::vector<std::uint8_t>& bytes) {
  std::vector<ChunkSite> sites;
  Walk(bytes, 0, bytes.size(), sites);
  return sites;
}

}  // namespace robustness
