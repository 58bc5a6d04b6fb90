// Material blocks: name, colours, transparency, two-sided flag and the file
// name of the first texture map; what only the exports use is read aside
// (material_extras.h).
#include "base/little_endian.h"
#include "chunk_reader.h"
#include "material_extras.h"

namespace torvik {

namespace {
constexpr uword kMaterialName = 0xA000;
constexpr uword kAmbient = 0xA010;
constexpr uword kDiffuse = 0xA020;
constexpr uword kSpecular = 0xA030;
constexpr uword kTransparency = 0xA050;
constexpr uword kTwoSided = 0xA081;
constexpr uword kTextureMap = 0xA200;
constexpr uword kTextureName = 0xA300;
constexpr uword kColorFloat = 0x0010;
constexpr uword kColor24 = 0x0011;
constexpr uword kPercentInt = 0x0030;
constexpr uword kPercentFloat = 0x0031;

constexpr double kByteColorScale = 0.00390625;  // 1/256
constexpr double kPercent = 0.01;
}  // namespace

void ChunkReader::ReadMaterialBlocks(std::int32_t p) {
  // Every material block gives one material, an empty one included.
  const std::size_t index = scene_.material.size();
  scene_.material.emplace_back();
  MaterialExtras extras(bytes_.first(size_), extras_budget_);
  ChunkLoop(p, [&](const ChunkHeader& chunk) {
    H3dsMat& mat = scene_.material[index];
    switch (chunk.id) {
      case kMaterialName:
        mat.name = ReadName("material name");
        return true;
      case kAmbient:
        ReadShadingChunk(chunk.end, mat.ambient);
        return true;
      case kDiffuse:
        ReadShadingChunk(chunk.end, mat.diffuse);
        return true;
      case kSpecular:
        ReadShadingChunk(chunk.end, mat.specular);
        return true;
      case kTransparency:
        ReadAlphaChunk(chunk.end, mat);
        return true;
      case kTwoSided:
        mat.doublesided = 1;  // the chunk has no body
        return true;
      case kTextureMap:
        extras.ReadMaterialChunk(chunk, mat);
        ReadTextureChunk(chunk.end, mat.texture);
        mat.Map(MapKind::texture).name = mat.texture.texturename;
        return true;
      default:
        // Read aside, if at all; the walk skips the chunk all the same.
        extras.ReadMaterialChunk(chunk, mat);
        return false;
    }
  });
}

void ChunkReader::ReadShadingChunk(std::int32_t p, H3dsRGBColor& rgb) {
  // Of several colour forms the later one decides.
  ChunkLoop(p, [&](const ChunkHeader& chunk) {
    switch (chunk.id) {
      case kColorFloat:
        ReadRGBFloat(rgb);
        return true;
      case kColor24:
        ReadRGBByte(rgb);
        return true;
      default:
        return false;
    }
  });
}

void ChunkReader::ReadRGBFloat(H3dsRGBColor& rgb) {
  const byte* data = dread(12, "float colour");
  rgb.red = load_f32(data);
  rgb.green = load_f32(data + 4);
  rgb.blue = load_f32(data + 8);
  rgb.from_bytes = false;
}

void ChunkReader::ReadRGBByte(H3dsRGBColor& rgb) {
  const byte* data = dread(3, "24-bit colour");
  rgb.red = static_cast<float32>(data[0] * kByteColorScale);
  rgb.green = static_cast<float32>(data[1] * kByteColorScale);
  rgb.blue = static_cast<float32>(data[2] * kByteColorScale);
  rgb.from_bytes = true;
}

void ChunkReader::ReadAlphaChunk(std::int32_t p, H3dsMat& mat) {
  // The last integer percentage counts; without one, the last float
  // percentage; without either, 0.
  bool have_int = false;
  double int_amount = 0;
  double float_amount = 0;
  ChunkLoop(p, [&](const ChunkHeader& chunk) {
    if (chunk.id == kPercentInt) {
      int_amount = static_cast<word>(read_u16("transparency percentage"));
      have_int = true;
      return true;
    }
    if (chunk.id == kPercentFloat && chunk.end - chunk.start >= 10 && FileHolds(chunk.start, 10)) {
      // Read in passing: the walk still moves on by the chunk's length, as
      // for a chunk it skips.
      float_amount = load_f32(dread(4, "transparency percentage"));
      dsetpos(chunk.end);
      return true;
    }
    return false;
  });
  const double amount = have_int ? int_amount : float_amount;
  mat.transparency = static_cast<float32>(amount * kPercent);
  // For the BMF, 0 and 1 percent, and anything below, mean opaque.
  mat.alpha = static_cast<double>(mat.transparency) < kPercent ? 1.0f : mat.transparency;
}

void ChunkReader::ReadTextureChunk(std::int32_t p, H3dsTexture& texture) {
  ChunkLoop(p, [&](const ChunkHeader& chunk) {
    if (chunk.id != kTextureName) return false;
    texture.texturename = ReadName("texture file name");
    return true;
  });
}

}  // namespace torvik
