// What the converter writes reads back valid, with the counts it reported.
#include <gtest/gtest.h>

#include "model_info.h"
#include "shapes.h"
#include "test_support.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf_reader.h"

namespace {

// Converts, reads back and compares with the writer's own counts.
void ExpectValidWithWrittenCounts(const std::vector<std::uint8_t>& bytes3ds,
                                  const std::string& what) {
  torvik::H3dsScene scene = torvik::HRead3dsScene(bytes3ds);
  const torvik::Model model = torvik::convert_to_outgl(scene);
  torvik::BmfStats stats;
  const std::vector<std::uint8_t> bmf = torvik::OutGLBMFBytes(model, &stats);
  const torvik::BmfFile file = torvik::ReadBmf(bmf);
  for (const torvik::BmfViolation& v : torvik::ValidateBmf(file))
    ADD_FAILURE() << what << ": " << torvik::DescribeViolation(v);
  const FileTotals totals = TotalsOf(file);
  EXPECT_EQ(totals.blocks, stats.blocks) << what;
  EXPECT_EQ(totals.vertices, stats.vertices) << what;
  EXPECT_EQ(totals.triangles, stats.triangles) << what;
  EXPECT_EQ(totals.bytes, stats.bytes) << what;
  EXPECT_EQ(totals.bytes, bmf.size()) << what;
}

TEST(RoundTrip, SampleAndCorpusConvertToValidFiles) {
  ExpectValidWithWrittenCounts(testing_support::ReadFile(TORVIK_SAMPLE), TORVIK_SAMPLE);
  const std::vector<std::string> corpus = testing_support::CorpusFiles();
  for (const std::string& path : corpus) {
    try {
      ExpectValidWithWrittenCounts(testing_support::ReadFile(path), path);
    } catch (const torvik::ReadError&) {
      // A file the converter refuses has no BMF to check.
    }
  }
  if (corpus.empty()) GTEST_SKIP() << "no corpus at " << TORVIK_CORPUS_DIR;
}

TEST(RoundTrip, AMaterialSplitIntoSeveralBlocksIsValid) {
  // Two meshes of 38400 faces on one material: more triangles than a block holds.
  std::vector<t3ds::Mesh> meshes;
  for (float z : {0.0f, 5.0f}) {
    meshes.push_back(t3ds::Torus("T", 2, 0.5f, 160, 120, {0, 0, z}));
    t3ds::AssignAll(meshes.back(), "Stone");
  }
  const std::vector<std::uint8_t> bytes3ds = t3ds::BuildFile(
      {{"Stone", t3ds::Color{0.5f, 0.5f, 0.5f}, {}, {}, {}, false, "stone.png"}}, meshes);
  const torvik::BmfFile file = torvik::ReadBmf(testing_support::Convert(bytes3ds));
  ASSERT_EQ(file.blocks.size(), 2u);
  EXPECT_EQ(file.blocks[1].TextureName(), "stone.png");
  ExpectValidWithWrittenCounts(bytes3ds, "split material");
}

}  // namespace
