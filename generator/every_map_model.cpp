#include "every_map_model.h"

#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "jpeg_image.h"
#include "png_image.h"
#include "shapes.h"

namespace t3ds {

namespace {

// Smooth colours with sharp edges across them: what a JPEG's blocks and
// subsampled chroma carry with rounding in every pixel.
RgbImage Painting(int seed) {
  RgbImage image(48, 40);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const bool stripe = ((x + seed * 3) / 6 + y / 5) % 2 == 0;
      image.at(x, y) = {static_cast<std::uint8_t>(5 * x + 13 * seed),
                        static_cast<std::uint8_t>(stripe ? 220 - 4 * y : 40 + 3 * y),
                        static_cast<std::uint8_t>((x * y + 31 * seed) % 256)};
    }
  return image;
}

Mesh Panel(const std::string& name, float x0) {
  Mesh panel = Quad(name, {x0, 0, 0}, {x0 + 2, 0, 0}, {x0 + 2, 0, 2}, {x0, 0, 2});
  AssignAll(panel, name);
  return panel;
}

}  // namespace

bool SaveEveryMapModel(const std::string& folder) {
  const auto coloured = [](const char* name, Color diffuse) {
    Material material;
    material.name = name;
    material.diffuse = diffuse;
    return material;
  };
  Material painted = coloured("Painted", {0.8f, 0.7f, 0.6f});
  painted.shininess = 40;
  painted.shininess_strength = 80;
  painted.maps = {{.name = "PAINT.JPG"},
                  {.id = 0xA33A, .name = "DECAL.PNG"},
                  {.id = 0xA210, .name = "PAINT_A.JPG"},
                  {.id = 0xA230, .name = "RIDGES.JPG", .percent = 40},
                  {.id = 0xA204, .name = "SPEC.JPG"},
                  {.id = 0xA33C, .name = "GLOSS.PNG"},
                  {.id = 0xA33D, .name = "GLOW.JPG"},
                  {.id = 0xA220, .name = "CHROME.PNG"}};
  Material faded = coloured("Faded", {0.2f, 0.3f, 0.9f});
  faded.maps = {{.name = "PAINT.JPG", .percent = 60}};
  Material missing = coloured("Missing", {0.5f, 0.5f, 0.5f});
  missing.maps = {{.name = "GONE.PNG"}, {.id = 0xA230, .name = "NOBUMP.JPG"}};
  Material lit = coloured("Lit", {0.9f, 0.8f, 0.2f});
  lit.maps = {{.id = 0xA33D, .name = "GLOW.JPG"}, {.id = 0xA210, .name = "FENCE.PNG"}};
  const std::vector<Material> materials = {painted, faded, missing, lit};
  const std::vector<Mesh> meshes = {Panel("Painted", 0), Panel("Faded", 3), Panel("Missing", 6),
                                    Panel("Lit", 9)};

  const std::filesystem::path root = folder;
  std::error_code error;
  std::filesystem::create_directories(root / "maps", error);
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } files[] = {
      {"paint.jpg", JpegFile(Painting(1))},        {"maps/decal.png", PngBytes(Painting(2))},
      {"maps/paint_a.jpg", JpegFile(Painting(3))}, {"maps/ridges.jpg", JpegFile(Painting(4), 60)},
      {"SPEC.JPG", JpegFile(Painting(5))},         {"maps/gloss.png", PngBytes(Painting(6))},
      {"glow.jpg", JpegFile(Painting(7), 85)},     {"maps/CHROME.PNG", PngBytes(Painting(8))}};
  bool saved = SaveFile((root / "every_map.3ds").string(), BuildFile(materials, meshes));
  for (const auto& file : files) saved = SaveFile((root / file.name).string(), file.bytes) && saved;
  return saved;
}

}  // namespace t3ds
