// Writes the fuzzers' seed corpus.
//   make_seeds DIR
#include <cstdio>
#include <string>

#include "seed_files.h"
#include "threeds_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  for (const t3ds::SeedFile& seed : t3ds::SeedFiles())
    if (!t3ds::SaveFile(std::string(argv[1]) + "/" + seed.name, seed.bytes)) return 1;
  return 0;
}
