// Reads and validates a BMF file through the installed C++ API.
#include <torvik32c/bmf_reader.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  try {
    const torvik::BmfFile file = torvik::ReadBmfFile(argv[1]);
    const std::vector<torvik::BmfViolation> violations = torvik::ValidateBmf(file);
    for (const torvik::BmfViolation& v : violations)
      std::fprintf(stderr, "%s\n", torvik::DescribeViolation(v).c_str());
    std::printf("%zu blocks\n", file.blocks.size());
    return violations.empty() && !file.blocks.empty() ? 0 : 1;
  } catch (const torvik::Error& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
