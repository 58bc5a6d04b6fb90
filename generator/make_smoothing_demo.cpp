// Writes a small model whose smoothing groups matter: a box with one group
// per side and a cylinder whose caps are in other groups than its side.
#include <cstdio>
#include <utility>

#include "shapes.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_smoothing_demo OUTPUT.3ds\n");
    return 2;
  }
  using namespace t3ds;
  const std::vector<Material> materials = {
      {"Clay",
       Color{0.2f, 0.1f, 0.05f},
       Color{0.85f, 0.45f, 0.25f},
       Color{0.4f, 0.4f, 0.4f},
       {},
       false,
       ""},
      {"Steel", Color{0.1f, 0.1f, 0.12f}, Color{0.6f, 0.65f, 0.75f}, Color{1, 1, 1}, {}, false, ""},
  };
  Mesh box = Box("Box", {-2.5f, -1, 0}, {-0.5f, 1, 2});
  for (std::uint32_t side = 0; side < 6; ++side)
    box.smoothing.insert(box.smoothing.end(), 2, 1u << side);
  AssignAll(box, "Clay");
  Mesh can = Cylinder("Can", 1, 2, 32, {1.5f, 0, 0});
  // Four faces per segment: two of the side, one of each cap.
  for (std::size_t i = 0; i < can.faces.size(); ++i)
    can.smoothing.push_back(i % 4 < 2 ? 1u : (i % 4 == 2 ? 2u : 4u));
  AssignAll(can, "Steel");
  const std::vector<std::uint8_t> bytes = BuildFile(materials, {box, can});
  return SaveFile(argv[1], bytes) ? 0 : 1;
}
