// Real-world files and the shipped sample: every one converts, the same way
// twice, into a well-formed BMF file.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

void CheckConverts(const std::string& path) {
  SCOPED_TRACE(path);
  const std::vector<std::uint8_t> input = testing_support::ReadFile(path);
  const std::vector<std::uint8_t> first = testing_support::Convert(input);
  EXPECT_EQ(testing_support::Convert(input), first);
  const testing_support::BmfFile file = testing_support::ParseBmf(first);
  EXPECT_FALSE(file.blocks.empty());
  for (const auto& block : file.blocks) {
    EXPECT_LE(block.vertices.size(), 3 * block.triangles.size());
    for (const auto& v : block.vertices) {
      const double length = double(v.i) * v.i + double(v.j) * v.j + double(v.k) * v.k;
      EXPECT_NEAR(length, 1.0, 1e-5);
    }
  }
}

TEST(Corpus, EveryRealFileConvertsToAValidBmf) {
  const std::vector<std::string> files = testing_support::CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no corpus at " << TORVIK_CORPUS_DIR;
  for (const std::string& path : files) CheckConverts(path);
}

TEST(Corpus, ShippedSampleConvertsToAValidBmf) { CheckConverts(TORVIK_SAMPLE); }

}  // namespace
