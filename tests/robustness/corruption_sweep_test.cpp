// Systematic damage to good files: every prefix, every chunk header byte,
// impossible chunk lengths and counts that disagree with the data.  Each
// variant must convert or fail as a damaged read, in memory and through the
// C entry, and never crash, hang or read out of bounds (the suite also runs
// under ASan and UBSan).
#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "chunk_map.h"
#include "robustness_support.h"

namespace robustness {
namespace {

constexpr std::size_t kEveryLength = 64 * 1024;

std::string Describe(const NamedInput& input, const ChunkSite& site) {
  char text[96];
  std::snprintf(text, sizeof text, "%s: chunk 0x%04X at byte %zu", input.name.c_str(), site.id,
                site.start);
  return text;
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Every length below 64 KiB; above, the first and last KiB, a few bytes
// around every chunk boundary and an even spread between.
std::set<std::size_t> PrefixLengths(const Bytes& bytes) {
  std::set<std::size_t> lengths;
  const std::size_t size = bytes.size();
  if (size <= kEveryLength) {
    for (std::size_t n = 0; n < size; ++n) lengths.insert(n);
    return lengths;
  }
  for (std::size_t n = 0; n < 1024; ++n) lengths.insert({n, size - 1 - n});
  for (const ChunkSite& site : MapChunks(bytes))
    for (const std::size_t edge : {site.start, site.start + 6, site.end})
      for (std::size_t n = edge > 8 ? edge - 8 : 0; n <= edge + 8 && n < size; ++n)
        lengths.insert(n);
  for (std::size_t n = 0; n < size; n += size / 1024) lengths.insert(n);
  return lengths;
}

// A cut inside data the reader reads fails; a cut inside a chunk it skips
// need not, since skipping past the end of the file is allowed.
void SweepPrefixes(const NamedInput& input, DamageChecker& checker) {
  for (const std::size_t length : PrefixLengths(input.bytes)) {
    SCOPED_TRACE(input.name + " cut to " + std::to_string(length) + " bytes");
    const bool converted = checker.Check(std::span(input.bytes).first(length));
    if (length < 6) {
      EXPECT_FALSE(converted);
    }
  }
}

TEST(CorruptionSweep, EveryPrefixOfEveryFile) {
  DamageChecker checker(61);
  for (const NamedInput& input : SmallInputs()) SweepPrefixes(input, checker);
  EXPECT_GT(checker.failed(), 20000u);
}

TEST(CorruptionSweep, PrefixesOfALargeFileAreSampledDensely) {
  const NamedInput input = LargeInput();
  ASSERT_GT(input.bytes.size(), 2 * kEveryLength);
  DamageChecker checker(31);
  SweepPrefixes(input, checker);
  EXPECT_GT(checker.failed(), 2048u);
}

// Each byte of the id and the length inverted, and the length off by one.
TEST(CorruptionSweep, FlippedBytesInEveryChunkHeaderField) {
  DamageChecker checker(7);
  const std::pair<std::size_t, std::uint8_t> flips[] = {{0, 0xFF}, {1, 0xFF}, {2, 0xFF}, {2, 0x01},
                                                        {3, 0xFF}, {4, 0xFF}, {5, 0xFF}};
  for (const NamedInput& input : SmallInputs()) {
    const std::vector<ChunkSite> sites = MapChunks(input.bytes);
    EXPECT_FALSE(sites.empty()) << input.name;
    for (const ChunkSite& site : sites) {
      for (const auto& [field, mask] : flips) {
        SCOPED_TRACE(Describe(input, site) + ", header byte " + std::to_string(field) + " xor " +
                     std::to_string(mask));
        Bytes damaged = input.bytes;
        damaged[site.start + field] ^= mask;
        checker.Check(damaged);
      }
    }
  }
  EXPECT_GT(checker.converted(), 0u);
  EXPECT_GT(checker.failed(), 0u);
}

TEST(CorruptionSweep, ImpossibleChunkLengths) {
  DamageChecker checker(3);
  for (const NamedInput& input : SmallInputs()) {
    for (const ChunkSite& site : MapChunks(input.bytes)) {
      const std::uint32_t past_parent =
          static_cast<std::uint32_t>(site.parent_end + 1 - site.start);
      for (const std::uint32_t length : {0u, 5u, 6u, 0xFFFFFFFFu, 0x7FFFFFFFu, past_parent}) {
        SCOPED_TRACE(Describe(input, site) + ", length " + std::to_string(length));
        Bytes damaged = input.bytes;
        Put32(damaged, site.start + 2, length);
        const bool converted = checker.Check(damaged);
        // Shorter than a header, negative, or ending beyond 2^31 - 1 (or
        // beyond the stream for the main chunk at byte 0).
        if (length < 6 || length >= 0x7FFFFFFFu) {
          EXPECT_FALSE(converted);
        }
      }
    }
  }
}

TEST(CorruptionSweep, CountsThatDisagreeWithTheData) {
  DamageChecker checker;
  std::size_t lists = 0;
  for (const NamedInput& input : SmallInputs()) {
    for (const ChunkSite& site : MapChunks(input.bytes)) {
      if (site.count_at == kNoCount) continue;
      ++lists;
      const std::size_t stored = input.bytes[site.count_at] | input.bytes[site.count_at + 1] << 8;
      const std::size_t room = (site.end - site.count_at - 2) / site.record_size;
      const std::size_t file_room = (input.bytes.size() - site.count_at - 2) / site.record_size;
      for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{65535},
                                      stored + 1, room + 1, file_room + 1}) {
        if (count > 65535) continue;
        SCOPED_TRACE(Describe(input, site) + ", count " + std::to_string(count));
        Bytes damaged = input.bytes;
        Put16(damaged, site.count_at, static_cast<std::uint16_t>(count));
        const bool converted = checker.Check(damaged);
        // More records than the rest of the file holds.
        if (count > file_room) {
          EXPECT_FALSE(converted);
        }
      }
    }
  }
  EXPECT_GT(lists, 30u);
}

}  // namespace
}  // namespace robustness
