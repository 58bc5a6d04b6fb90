// Writes the turntable whose keyframer moves it (AnimatedDemo).
#include <cstdio>

#include "animated_demo.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_animated_demo OUTPUT.3ds\n");
    return 2;
  }
  return t3ds::SaveFile(argv[1], t3ds::BuildFile(t3ds::AnimatedDemo())) ? 0 : 1;
}
