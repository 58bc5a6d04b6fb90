#include "material_extras.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"

namespace torvik {

namespace {

constexpr uword kSelfIlluminationFlag = 0xA080;

constexpr uword kPercentInt = 0x0030;
constexpr uword kPercentFloat = 0x0031;
constexpr uword kMapName = 0xA300;
constexpr uword kMapTiling = 0xA351;
constexpr uword kMapBlur = 0xA353;
constexpr uword kMapUScale = 0xA354;
constexpr uword kMapVScale = 0xA356;
constexpr uword kMapUOffset = 0xA358;
constexpr uword kMapVOffset = 0xA35A;
constexpr uword kMapRotation = 0xA35C;

constexpr std::size_t kHeader = 6;
constexpr double kPercent = 0.01;

// The chunks that hold one percentage of the material.
struct PercentageChunk {
  uword id;
  std::optional<float32> H3dsMat::*field;
};
constexpr PercentageChunk kPercentageChunks[] = {{0xA040, &H3dsMat::shininess},
                                                 {0xA041, &H3dsMat::shininess_strength},
                                                 {0xA084, &H3dsMat::self_illumination},
                                                 {0xA052, &H3dsMat::transparency_falloff}};

// The chunk of each map.  Texture 1's name is the walk's own reading too.
struct MapChunk {
  uword id;
  MapKind kind;
};
constexpr MapChunk kMapChunks[] = {
    {0xA200, MapKind::texture},           {0xA33A, MapKind::texture2},
    {0xA210, MapKind::opacity},           {0xA230, MapKind::bump},
    {0xA204, MapKind::specular},          {0xA33C, MapKind::shininess},
    {0xA33D, MapKind::self_illumination}, {0xA220, MapKind::reflection}};

// The percentage rule of the reader: the last integer percentage counts,
// and without one the last float percentage.
struct PercentageChunks {
  std::optional<double> integer, floating;

  std::optional<float32> Fraction() const {
    const std::optional<double> amount = integer ? integer : floating;
    if (!amount) return std::nullopt;
    return static_cast<float32>(*amount * kPercent);
  }
};

}  // namespace

const byte* MaterialExtras::Body(const ChunkHeader& chunk, std::size_t len) {
  const std::size_t body = static_cast<std::size_t>(chunk.start) + kHeader;
  const std::size_t end = std::min(static_cast<std::size_t>(chunk.end), file_.size());
  if (body > end || len > end - body || len > budget_) return nullptr;
  budget_ -= len;
  return file_.data() + body;
}

template <class Visit>
void MaterialExtras::ForEachSubChunk(const ChunkHeader& chunk, Visit&& visit) {
  const std::size_t end = std::min(static_cast<std::size_t>(chunk.end), file_.size());
  std::size_t at = static_cast<std::size_t>(chunk.start) + kHeader;
  while (at <= end && kHeader <= end - at && kHeader <= budget_) {
    budget_ -= kHeader;
    const byte* header = file_.data() + at;
    const std::uint32_t length = load_u32(header + 2);
    if (length < kHeader || length > static_cast<std::size_t>(chunk.end) - at) return;
    // Both ends lie within the parent, itself within 2^31 - 1.
    visit(ChunkHeader{load_u16(header), static_cast<std::int32_t>(at),
                      static_cast<std::int32_t>(at + length)});
    at += length;
  }
}

std::optional<float32> MaterialExtras::Percentage(const ChunkHeader& chunk) {
  PercentageChunks found;
  ForEachSubChunk(chunk, [&](const ChunkHeader& sub) {
    if (sub.id == kPercentInt) {
      if (const byte* data = Body(sub, 2)) found.integer = static_cast<word>(load_u16(data));
    } else if (sub.id == kPercentFloat) {
      if (const byte* data = Body(sub, 4)) found.floating = load_f32(data);
    }
  });
  return found.Fraction();
}

void MaterialExtras::ReadMap(const ChunkHeader& chunk, H3dsTextureMap& map) {
  map.present = true;
  PercentageChunks percentage;
  ForEachSubChunk(chunk, [&](const ChunkHeader& sub) {
    const auto read_float = [&](float32& field) {
      if (const byte* data = Body(sub, 4)) field = load_f32(data);
    };
    switch (sub.id) {
      case kMapName: {
        const std::size_t length = static_cast<std::size_t>(sub.end - sub.start) - kHeader;
        const byte* data = Body(sub, length);
        const void* nul = data == nullptr ? nullptr : std::memchr(data, 0, length);
        if (nul == nullptr) return;
        const auto name_length = static_cast<std::size_t>(static_cast<const byte*>(nul) - data);
        map.name.assign(reinterpret_cast<const char*>(data), std::min(name_length, kMaxNameLength));
        return;
      }
      case kPercentInt:
        if (const byte* data = Body(sub, 2)) percentage.integer = static_cast<word>(load_u16(data));
        return;
      case kPercentFloat:
        if (const byte* data = Body(sub, 4)) percentage.floating = load_f32(data);
        return;
      case kMapTiling:
        if (const byte* data = Body(sub, 2)) map.tiling = load_u16(data);
        return;
      case kMapBlur:
        return read_float(map.blur);
      case kMapUScale:
        return read_float(map.u_scale);
      case kMapVScale:
        return read_float(map.v_scale);
      case kMapUOffset:
        return read_float(map.u_offset);
      case kMapVOffset:
        return read_float(map.v_offset);
      case kMapRotation:
        return read_float(map.rotation);
      default:
        return;
    }
  });
  if (const std::optional<float32> amount = percentage.Fraction()) map.percent = *amount;
}

void MaterialExtras::ReadMaterialChunk(const ChunkHeader& chunk, H3dsMat& mat) {
  for (const PercentageChunk& amount : kPercentageChunks) {
    if (chunk.id != amount.id) continue;
    if (const std::optional<float32> fraction = Percentage(chunk)) mat.*amount.field = fraction;
    return;
  }
  if (chunk.id == kSelfIlluminationFlag) mat.self_illumination_flag = true;  // it has no body
  for (const MapChunk& map : kMapChunks)
    if (chunk.id == map.id) ReadMap(chunk, mat.Map(map.kind));
}

}  // namespace torvik
