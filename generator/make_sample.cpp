// Writes the shipped sample model: a torus, a box and a cylinder on three
// materials (one textured, one two-sided, one translucent), and a mesh
// without material groups that takes the default material.  The brass
// texture it names is drawn here too and written beside the model.
//   make_sample OUTPUT.3ds   writes OUTPUT.3ds and brass.png beside it
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "png_image.h"
#include "shapes.h"

namespace {

// Brushed brass: fine streaks along the ring, two engraved bands around it.
t3ds::RgbImage BrassTexture() {
  constexpr int kWidth = 64, kHeight = 128;
  t3ds::RgbImage image(kWidth, kHeight);
  std::uint32_t state = 12345;
  for (int y = 0; y < kHeight; ++y) {
    state = state * 1103515245u + 12345u;
    const double streak = 0.9 + 0.1 * static_cast<double>((state >> 16) & 0xFF) / 255.0;
    const double band = std::fabs(std::sin(y * 3.14159265358979 * 4 / kHeight));
    const double shade = streak * (band < 0.12 ? 0.55 : 1.0);
    for (int x = 0; x < kWidth; ++x) {
      const double glint = 1.0 + 0.08 * std::sin(x * 6.28318530717959 * 3 / kWidth);
      auto channel = [&](double base) {
        return static_cast<std::uint8_t>(std::lround(std::fmin(base * shade * glint, 255.0)));
      };
      image.at(x, y) = {channel(214), channel(164), channel(72)};
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample OUTPUT.3ds\n");
    return 2;
  }
  using namespace t3ds;
  std::vector<Material> materials = {
      {"Brass",
       Color{0.2f, 0.15f, 0.05f},
       Color{0.8f, 0.6f, 0.2f},
       Color{1, 1, 0.9f},
       {},
       false,
       "brass.png"},
      {"Leaf",
       Color{0.05f, 0.2f, 0.05f},
       Color{0.2f, 0.7f, 0.25f},
       Color{0.3f, 0.3f, 0.3f},
       {},
       true,
       ""},
      {"Glass", Color{0.1f, 0.1f, 0.2f}, Color{0.4f, 0.5f, 0.9f}, Color{1, 1, 1}, 40, false, ""},
  };
  Mesh torus = Torus("Ring", 2.0f, 0.6f, 32, 16, {0, 0, 1.0f});
  // The torus's faces carry the flag word 7, for which readers exchange the
  // last two corners: store them the other way round so the ring faces out.
  for (Face& face : torus.faces) std::swap(face.b, face.c);
  AssignAll(torus, "Brass");
  Mesh box = Box("Plinth", {-3.5f, -3.5f, -0.5f}, {3.5f, 3.5f, 0});
  AssignAll(box, "Leaf");
  Mesh cylinder = Cylinder("Column", 0.7f, 3.0f, 24, {0, 0, 0});
  AssignAll(cylinder, "Glass");
  Mesh plain = Box("Plain", {2.8f, 2.8f, 0}, {3.4f, 3.4f, 0.6f});  // no material groups
  const std::vector<std::uint8_t> bytes = BuildFile(materials, {torus, box, cylinder, plain});
  const std::filesystem::path texture = std::filesystem::path(argv[1]).parent_path() / "brass.png";
  return SaveFile(argv[1], bytes) && SaveFile(texture.string(), PngBytes(BrassTexture())) ? 0 : 1;
}
