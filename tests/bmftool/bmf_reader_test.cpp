// The BMF reader and validator on hand-made bytes: a valid file, every
// truncation, and every rule broken once.
#include "torvik32c/bmf_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <set>

#include "threeds_builder.h"

namespace {

using t3ds::ChunkWriter;
using torvik::BmfRule;
using torvik::BmfViolation;

// One block: texture "stone" (L = 6), colours, `vertices` vertex records
// numbered 0.. in x, and the triangles as given.
void Block(ChunkWriter& out, int vertices, const std::vector<std::array<int, 3>>& triangles,
           const std::string& name_field = std::string("stone") + '\0') {
  out.u16(static_cast<std::uint16_t>(name_field.size()));
  out.raw(std::vector<std::uint8_t>(name_field.begin(), name_field.end()));
  for (int c = 0; c < 12; ++c) out.f32(0.25f * static_cast<float>(c % 4 + 1));
  out.u16(static_cast<std::uint16_t>(vertices));
  for (int v = 0; v < vertices; ++v)
    for (float f : {0.5f, 0.75f, 0.0f, 1.0f, 0.0f, static_cast<float>(v), 2.0f, -3.0f}) out.f32(f);
  out.u16(static_cast<std::uint16_t>(triangles.size()));
  for (const auto& t : triangles)
    for (int corner : t) out.u16(static_cast<std::uint16_t>(corner));
}

// Two blocks: a quad (V 4, T 2) and an empty block with no texture.
std::vector<std::uint8_t> ValidFile() {
  ChunkWriter out;
  out.u16(2).u16(0);
  Block(out, 4, {{0, 1, 2}, {2, 1, 3}});
  Block(out, 0, {}, std::string(1, '\0'));
  return out.bytes();
}

constexpr std::size_t kFirstBlock = 4;
constexpr std::size_t kFirstTriangles = kFirstBlock + 2 + 6 + 48 + 2 + 4 * 32 + 2;

std::vector<BmfViolation> Validate(const std::vector<std::uint8_t>& bytes) {
  return torvik::ValidateBmf(torvik::ReadBmf(bytes));
}

std::set<BmfRule> Rules(const std::vector<BmfViolation>& violations) {
  std::set<BmfRule> rules;
  for (const BmfViolation& v : violations) rules.insert(v.rule);
  return rules;
}

TEST(BmfReader, TakesAValidFileApart) {
  const std::vector<std::uint8_t> bytes = ValidFile();
  const torvik::BmfFile file = torvik::ReadBmf(bytes);
  ASSERT_EQ(file.blocks.size(), 2u);
  const torvik::BmfBlock& quad = file.blocks[0];
  EXPECT_EQ(quad.TextureName(), "stone");
  EXPECT_EQ(quad.ambient.red, 0.25f);
  EXPECT_EQ(quad.diffuse.alpha, 1.0f);
  EXPECT_EQ(quad.specular.green, 0.5f);
  ASSERT_EQ(quad.vertices.size(), 4u);
  EXPECT_EQ(quad.vertices[3].x, 3.0f);
  EXPECT_EQ(quad.vertices[3].z, -3.0f);
  EXPECT_EQ(quad.vertices[3].v, 0.75f);
  ASSERT_EQ(quad.triangles.size(), 2u);
  EXPECT_EQ(quad.triangles[1].p2, 3);
  EXPECT_EQ(file.blocks[1].TextureName(), "");
  EXPECT_TRUE(file.blocks[1].vertices.empty());
  EXPECT_EQ(file.trailing_bytes, 0u);
  EXPECT_EQ(torvik::BmfBlockLayout(quad).size, kFirstTriangles + 12 - kFirstBlock);
  EXPECT_TRUE(torvik::ValidateBmf(file).empty());
}

TEST(BmfReader, EveryTruncationFailsWithTheOffsetOfTheMissingField) {
  const std::vector<std::uint8_t> bytes = ValidFile();
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    const std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + size);
    try {
      torvik::ReadBmf(prefix);
      ADD_FAILURE() << "a prefix of " << size << " bytes was accepted";
    } catch (const torvik::BmfFormatError& error) {
      EXPECT_LE(error.byte_offset, static_cast<std::int64_t>(size));
      EXPECT_NE(std::string(error.what()).find("ends at byte " + std::to_string(size)),
                std::string::npos)
          << error.what();
    }
  }
  // A count that promises far more than the file holds fails the same way.
  std::vector<std::uint8_t> huge = bytes;
  huge[0] = huge[1] = 0xFF;
  EXPECT_THROW(torvik::ReadBmf(huge), torvik::BmfFormatError);
}

TEST(BmfValidator, ReportsEachBrokenRuleWithItsOffset) {
  struct Case {
    const char* what;
    std::function<void(ChunkWriter&)> blocks;
    std::uint16_t strip_flag;
    BmfRule rule;
    std::size_t offset;
  };
  const std::vector<Case> cases = {
      {"strip flag",
       [](ChunkWriter& out) {
         Block(out, 3, {{0, 1, 2}});
       },
       1, BmfRule::strip_flag, 2},
      {"name without zero",
       [](ChunkWriter& out) {
         Block(out, 3, {{0, 1, 2}}, "stone");
       },
       0, BmfRule::name_terminator, kFirstBlock + 2 + 4},
      {"zero inside the name",
       [](ChunkWriter& out) {
         Block(out, 3, {{0, 1, 2}}, std::string("st\0ne\0", 6));
       },
       0, BmfRule::name_terminator, kFirstBlock + 2 + 2},
      {"empty name field",
       [](ChunkWriter& out) {
         Block(out, 3, {{0, 1, 2}}, "");
       },
       0, BmfRule::name_length, kFirstBlock},
      {"index beyond V",
       [](ChunkWriter& out) {
         Block(out, 2, {{0, 1, 5}});
       },
       0, BmfRule::index_range, kFirstTriangles - 2 * 32 + 4},
      {"unused vertex",
       [](ChunkWriter& out) {
         Block(out, 4, {{0, 1, 2}, {2, 1, 0}, {0, 1, 2}});
       },
       0, BmfRule::unused_vertex, kFirstTriangles - 2 - 32},
  };
  for (const Case& c : cases) {
    ChunkWriter out;
    out.u16(1).u16(c.strip_flag);
    c.blocks(out);
    const std::vector<BmfViolation> violations = Validate(out.bytes());
    ASSERT_EQ(violations.size(), 1u) << c.what;
    EXPECT_EQ(violations[0].rule, c.rule) << c.what << ": " << violations[0].message;
    EXPECT_EQ(violations[0].byte_offset, static_cast<std::int64_t>(c.offset)) << c.what;
  }
}

TEST(BmfValidator, FirstUseOrderVertexBudgetAndTrailingBytes) {
  ChunkWriter misordered;
  misordered.u16(1).u16(0);
  Block(misordered, 4, {{0, 2, 1}, {1, 2, 3}});
  const std::vector<BmfViolation> order = Validate(misordered.bytes());
  EXPECT_EQ(Rules(order), std::set<BmfRule>{BmfRule::first_use_order});
  ASSERT_EQ(order.size(), 2u);  // vertex 2 where 1 is due, then 1 where 2 is due
  EXPECT_EQ(order[0].byte_offset, static_cast<std::int64_t>(kFirstTriangles + 2));
  EXPECT_EQ(order[0].block, 0);

  ChunkWriter too_many;
  too_many.u16(1).u16(0);
  Block(too_many, 4, {{0, 1, 2}});
  EXPECT_EQ(Rules(Validate(too_many.bytes())),
            (std::set<BmfRule>{BmfRule::vertex_budget, BmfRule::unused_vertex}));

  std::vector<std::uint8_t> trailing = ValidFile();
  trailing.push_back(0);
  const std::vector<BmfViolation> extra = Validate(trailing);
  ASSERT_EQ(extra.size(), 1u);
  EXPECT_EQ(extra[0].rule, BmfRule::trailing_bytes);
  EXPECT_EQ(extra[0].byte_offset, static_cast<std::int64_t>(ValidFile().size()));
  EXPECT_EQ(torvik::DescribeViolation(extra[0]),
            "byte " + std::to_string(trailing.size() - 1) + ": 1 byte follows the last block");
}

TEST(BmfValidator, CountsBeyondSixteenBitsInAFileBuiltInMemory) {
  torvik::BmfFile file;
  file.blocks.resize(1);
  torvik::BmfBlock& block = file.blocks[0];
  block.name_field = std::string(1, '\0');
  block.vertices.resize(65536);
  block.triangles.resize(65536);
  for (std::size_t t = 0; t < block.triangles.size(); ++t) {
    const auto v = static_cast<std::uint16_t>(t < 65535 ? t : 0);
    block.triangles[t] = {v, v, v};
  }
  EXPECT_EQ(
      Rules(torvik::ValidateBmf(file)),
      (std::set<BmfRule>{BmfRule::vertex_count, BmfRule::triangle_count, BmfRule::unused_vertex}));
  file.blocks.resize(65536, torvik::BmfBlock{std::string(1, '\0'), {}, {}, {}, {}, {}});
  EXPECT_TRUE(Rules(torvik::ValidateBmf(file)).contains(BmfRule::block_count));
}

}  // namespace
