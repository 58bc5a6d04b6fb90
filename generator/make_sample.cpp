// Writes the shipped sample model: a torus, a box and a cylinder on three
// materials (one textured, one two-sided, one translucent), and a mesh
// without material groups that takes the default material.
#include <cstdio>
#include <utility>

#include "shapes.h"

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
  return SaveFile(argv[1], bytes) ? 0 : 1;
}
