// The BMF validator: every rule of the layout, checked block by block with
// the byte offsets the fields have in the file.
#include <algorithm>

#include "torvik32c/bmf_reader.h"

namespace torvik {

namespace {

class Checker {
 public:
  explicit Checker(std::vector<BmfViolation>& out) : out_(out) {}

  void Report(BmfRule rule, std::size_t offset, std::int64_t block, std::string message) {
    out_.push_back(
        BmfViolation{rule, static_cast<std::int64_t>(offset), block, std::move(message)});
  }

  void CheckName(const BmfBlock& block, std::size_t start, std::int64_t b) {
    const std::string& field = block.name_field;
    if (field.empty()) {
      Report(BmfRule::name_length, start, b,
             "the texture-name length is 0; the field needs at least its zero byte");
      return;
    }
    if (field.size() > kBmfMaxCount)
      Report(BmfRule::name_length, start, b,
             "the texture name is " + std::to_string(field.size()) +
                 " bytes long, more than its 16-bit length holds");
    const std::size_t zero = field.find('\0');
    if (zero == std::string::npos)
      Report(BmfRule::name_terminator, start + 2 + field.size() - 1, b,
             "the texture name does not end with a zero byte");
    else if (zero + 1 != field.size())
      Report(BmfRule::name_terminator, start + 2 + zero, b,
             "the texture name has a zero byte at position " + std::to_string(zero) +
                 ", before the end of its " + std::to_string(field.size()) + "-byte field");
  }

  void CheckCounts(const BmfBlock& block, const BmfBlockLayout& at, std::size_t start,
                   std::int64_t b) {
    const std::size_t v = block.vertices.size(), t = block.triangles.size();
    if (v > kBmfMaxCount)
      Report(BmfRule::vertex_count, start + at.vertex_count, b,
             "V = " + std::to_string(v) + " vertices, more than the 65535 a block holds");
    if (t > kBmfMaxCount)
      Report(BmfRule::triangle_count, start + at.triangle_count, b,
             "T = " + std::to_string(t) + " triangles, more than the 65535 a block holds");
    if (v > 3 * t)
      Report(BmfRule::vertex_budget, start + at.vertex_count, b,
             "V = " + std::to_string(v) + " is more than 3T = " + std::to_string(3 * t) +
                 ", the most vertices " + std::to_string(t) + " triangles can use");
  }

  // Indices below V, and vertices numbered in the order the triangles first
  // use them: each new index is the number of vertices met before it.
  void CheckTriangles(const BmfBlock& block, const BmfBlockLayout& at, std::size_t start,
                      std::int64_t b) {
    const std::size_t v = block.vertices.size();
    std::vector<bool> used(v, false);
    std::size_t met = 0;
    for (std::size_t t = 0; t < block.triangles.size(); ++t) {
      const BMF_SURFACE& s = block.triangles[t];
      const std::size_t corners[3] = {s.p0, s.p1, s.p2};
      for (std::size_t c = 0; c < 3; ++c) {
        const std::size_t index = corners[c];
        const std::size_t offset = start + at.triangles + 6 * t + 2 * c;
        const std::string where = "triangle " + std::to_string(t) + " corner " + std::to_string(c);
        if (index >= v) {
          Report(BmfRule::index_range, offset, b,
                 where + ": index " + std::to_string(index) +
                     " is not below V = " + std::to_string(v));
          continue;
        }
        if (used[index]) continue;
        if (index != met)
          Report(BmfRule::first_use_order, offset, b,
                 where + ": vertex " + std::to_string(index) + " is used first where vertex " +
                     std::to_string(met) + " is due (vertices go in first-use order)");
        used[index] = true;
        ++met;
      }
    }
    const std::size_t unused =
        static_cast<std::size_t>(std::count(used.begin(), used.end(), false));
    if (unused != 0) {
      const std::size_t first =
          static_cast<std::size_t>(std::find(used.begin(), used.end(), false) - used.begin());
      Report(BmfRule::unused_vertex, start + at.vertices + 32 * first, b,
             std::to_string(unused) + " of the " + std::to_string(v) +
                 " stored vertices are used by no triangle; the first is vertex " +
                 std::to_string(first));
    }
  }

 private:
  std::vector<BmfViolation>& out_;
};

}  // namespace

std::vector<BmfViolation> ValidateBmf(const BmfFile& file) {
  std::vector<BmfViolation> violations;
  Checker check(violations);
  if (file.blocks.size() > kBmfMaxCount)
    check.Report(
        BmfRule::block_count, 0, -1,
        std::to_string(file.blocks.size()) + " blocks, more than the 65535 the block count holds");
  if (file.strip_flag != 0)
    check.Report(BmfRule::strip_flag, 2, -1,
                 "the strip flag is " + std::to_string(file.strip_flag) + ", not 0");

  std::size_t start = 4;
  for (std::size_t b = 0; b < file.blocks.size(); ++b) {
    const BmfBlock& block = file.blocks[b];
    const BmfBlockLayout at(block);
    const auto index = static_cast<std::int64_t>(b);
    check.CheckName(block, start, index);
    check.CheckCounts(block, at, start, index);
    check.CheckTriangles(block, at, start, index);
    start += at.size;
  }
  if (file.trailing_bytes != 0)
    check.Report(BmfRule::trailing_bytes, start, -1,
                 std::to_string(file.trailing_bytes) +
                     (file.trailing_bytes == 1 ? " byte follows" : " bytes follow") +
                     " the last block");
  std::stable_sort(
      violations.begin(), violations.end(),
      [](const BmfViolation& a, const BmfViolation& b) { return a.byte_offset < b.byte_offset; });
  return violations;
}

std::string DescribeViolation(const BmfViolation& violation) {
  std::string text = "byte " + std::to_string(violation.byte_offset);
  if (violation.block >= 0) text += ", block " + std::to_string(violation.block);
  return text + ": " + violation.message;
}

}  // namespace torvik
