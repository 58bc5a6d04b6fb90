// Golden outputs: each synthetic preset and the shipped sample go through the
// C entry, file to file, and the FNV-1a hash of the BMF bytes must equal the
// one recorded here.  Any change of output fails.  A change that is meant
// records the new hashes, and its commit says why the bytes changed.
//
// The input's hash is checked first, so that a change in the generator (or
// in the maths library it uses for the tori) is not taken for a change in the
// converter.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "presets.h"
#include "test_support.h"
#include "torvik32c/torvik32c.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::uint64_t Fnv1a64(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const std::uint8_t b : bytes) {
    hash ^= b;
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016" PRIx64, value);
  return text;
}

struct Golden {
  const char* name;  // a preset, or "sample" for samples/sample.3ds
  std::uint64_t input_hash;
  std::size_t output_size;
  std::uint64_t output_hash;
};

// Recorded from the converter as it was before any speed work (commit 5492fdc);
// the sample's after its ring was turned to face outwards.
const Golden kGoldens[] = {
    {"sample", 0x4150e515e443decaull, 25737, 0x52e005c038f30c12ull},
    {"small", 0x1b5275aa218abf4aull, 26469, 0x3d24d19cf0bf5729ull},
    {"medium", 0x0b8d6d156bd67954ull, 4700488, 0x5eac375065a78b84ull},
    {"large", 0x883843e611b470c1ull, 47196684, 0x2d76c8ea27ff26c7ull},
    {"manymat", 0x4a096be653dab681ull, 24862504, 0x63f897cc71333585ull},
    {"bigmat", 0x9d7960d018ffeda0ull, 91203863, 0x6b455dd4ffed679full},
};

void PrintTo(const Golden& golden, std::ostream* out) { *out << golden.name; }

std::vector<std::uint8_t> Input(const std::string& name) {
  return name == "sample" ? ReadFile(TORVIK_SAMPLE) : t3ds::BuildPreset(name);
}

class GoldenOutput : public testing::TestWithParam<Golden> {};

TEST_P(GoldenOutput, BmfBytesAreUnchanged) {
  const Golden& golden = GetParam();
  TempDir dir;
  const std::string src = dir.file("in.3ds");
  const std::string dest = dir.file("out.bmf");
  {
    const std::vector<std::uint8_t> input = Input(golden.name);
    ASSERT_EQ(Hex(Fnv1a64(input)), Hex(golden.input_hash))
        << "the input changed, not the converter: the generator (or the maths library it "
           "uses) makes other bytes for '"
        << golden.name << "'";
    WriteFile(src, input);
  }
  char message[512] = "";
  ASSERT_EQ(do3dsparse_ex(src.c_str(), dest.c_str(), message, sizeof message), 0) << message;
  const std::vector<std::uint8_t> output = ReadFile(dest);
  EXPECT_EQ(output.size(), golden.output_size);
  EXPECT_EQ(Hex(Fnv1a64(output)), Hex(golden.output_hash))
      << "the BMF bytes of '" << golden.name << "' changed";
  if (std::string(golden.name) == "bigmat") {
    // One material with far more vertices than a block holds: it must come
    // out as several valid blocks.
    const testing_support::BmfFile bmf = testing_support::ParseBmf(output);
    EXPECT_GT(bmf.blocks.size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Presets, GoldenOutput, testing::ValuesIn(kGoldens),
                         [](const testing::TestParamInfo<Golden>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
