// Writes the gate that only its keyframer puts together (KeyframerDemo).
#include <cstdio>

#include "keyframer_demo.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_keyframer_demo OUTPUT.3ds\n");
    return 2;
  }
  const t3ds::Scene scene = t3ds::KeyframerDemo();
  return t3ds::SaveFile(argv[1], t3ds::BuildFile(scene.materials, scene.meshes, scene.nodes)) ? 0
                                                                                              : 1;
}
