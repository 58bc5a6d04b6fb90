// Small 3DS files that between them use every chunk the reader knows, in the
// orders and forms real files use: the fuzzers' seeds and the inputs of the
// corruption sweeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace t3ds {

struct SeedFile {
  std::string name;  // a file name ending in .3ds
  std::vector<std::uint8_t> bytes;
};

// Every colour form, both percentage forms, the two-sided flag, texture
// maps, mapping, a local-axis matrix, faces with flags 7 and face-material
// groups; lists out of order, short mapping, unknown material names, unknown
// chunks, long names, degenerate faces, empty lists and shapes.
std::vector<SeedFile> SeedFiles();

}  // namespace t3ds
