// Writes one of the synthetic benchmark models: make_preset NAME OUT.3ds
#include <cstdio>
#include <stdexcept>

#include "presets.h"
#include "threeds_builder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_preset NAME OUTPUT.3ds\nnames:");
    for (const std::string& name : t3ds::PresetNames()) std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
  }
  std::vector<std::uint8_t> bytes;
  try {
    bytes = t3ds::BuildPreset(argv[1]);
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "make_preset: %s\n", error.what());
    return 2;
  }
  return t3ds::SaveFile(argv[2], bytes) ? 0 : 1;
}
