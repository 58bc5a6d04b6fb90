// Writes the fuzzers' seed corpus.
//   make_seeds DIR
#include <cstdio>
#include <fstream>
#include <string>

#include "seed_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  for (const t3ds::SeedFile& seed : t3ds::SeedFiles()) {
    const std::string path = std::string(argv[1]) + "/" + seed.name;
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(seed.bytes.data()),
               static_cast<std::streamsize>(seed.bytes.size()));
    if (!file) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}
