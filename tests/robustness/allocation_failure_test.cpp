// Memory exhausted at every allocation of one conversion in turn: each
// failure gives a failed call with the message of the phase it hit (or, for
// the few allocations the library can do without, the same file as ever),
// frees everything it took, leaves the destination as the phase promises,
// and the next call converts normally.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "failing_new.h"
#include "robustness_support.h"
#include "seed_files.h"
#include "torvik32c/bmf.h"
#include "torvik32c/torvik32c.h"

namespace robustness {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::size_t CountAllocations(const std::function<void()>& work) {
  const std::size_t before = failing_new::Allocations();
  work();
  return failing_new::Allocations() - before;
}

std::size_t FilesIn(const std::filesystem::path& dir) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++count;
  return count;
}

// How many allocations each phase of one do3dsparse call makes, counted
// through the C++ API in the order the entry runs them.
struct Phases {
  std::size_t entry, read, convert, write;
};

Phases CountPhases(const std::string& src, const std::string& dest) {
  Phases phases{};
  torvik::H3dsScene scene;
  torvik::Model model;
  phases.read = CountAllocations([&] { scene = torvik::ReadSceneFile(src); });
  phases.convert = CountAllocations([&] { model = torvik::convert_to_outgl(std::move(scene)); });
  phases.write = CountAllocations([&] { torvik::OutGLBMF(model, dest); });
  const std::size_t total = CountAllocations([&] { CallEntry(src, dest); });
  EXPECT_GE(total, phases.read + phases.convert + phases.write);
  phases.entry = total - phases.read - phases.convert - phases.write;
  return phases;
}

class AllocationFailure : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    for (t3ds::SeedFile& seed : t3ds::SeedFiles())
      if (seed.name == GetParam()) WriteFile(src, seed.bytes);
    if (GetParam() == "sample.3ds") WriteFile(src, ReadFile(TORVIK_SAMPLE));
    ASSERT_TRUE(std::filesystem::exists(src));
    // Warm up whatever the process sets up once (locale, stdio buffers).
    ASSERT_EQ(CallEntry(src, reference).result, 0);
  }

  TempDir dir;
  std::string src = dir.file("model.3ds");
  std::string reference = dir.file("reference.bmf");
  std::string dest = dir.file("model.bmf");
};

TEST_P(AllocationFailure, EveryAllocationFailsInTurn) {
  const Phases phases = CountPhases(src, dest);
  ASSERT_LE(phases.entry, 8u);
  ASSERT_GT(phases.read, 0u);
  ASSERT_GT(phases.convert, 0u);
  ASSERT_GT(phases.write, 0u);
  const Bytes expected = ReadFile(reference);
  const Bytes previous = {'o', 'l', 'd'};
  const std::set<std::string> writer_messages = {
      "Error allocating memory for translate", "Error allocating memory for CrunchedIndex",
      "Error allocating memory for CrunchedVertex", "Out of memory converting " + src};
  const std::size_t total = phases.entry + phases.read + phases.convert + phases.write;
  std::size_t absorbed = 0;
  for (std::size_t n = 1; n <= total; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total));
    WriteFile(dest, previous);
    char message[4096] = "untouched";
    const std::int64_t live = failing_new::LiveAllocations();
    failing_new::FailAllocation(n);
    const int result = do3dsparse(src.data(), dest.data(), message);
    ASSERT_TRUE(failing_new::Disarm());
    EXPECT_EQ(failing_new::LiveAllocations(), live);
    const EntryCall call{result, message};
    if (result == 0) {
      // An allocation the library can do without (the vertex-normal pass
      // runs on this thread when it can't have others): the same file.
      EXPECT_EQ(call.message, "untouched");
      EXPECT_EQ(ReadFile(dest), expected);
      ++absorbed;
      continue;
    }
    EXPECT_EQ(call.result, 1);
    if (n <= phases.entry) {
      // The entry's own copies of the paths.
      EXPECT_TRUE(call.message == "Error allocating memory" ||
                  call.message == "Out of memory converting " + src)
          << call.message;
      EXPECT_EQ(ReadFile(dest), previous);
    } else if (n <= phases.entry + phases.read) {
      EXPECT_EQ(call.message, "Can't parse " + src + "\n");
      EXPECT_EQ(ReadFile(dest), kEmptyBmf);
    } else if (n <= phases.entry + phases.read + phases.convert) {
      EXPECT_EQ(call.message, "Out of memory converting " + src);
      EXPECT_EQ(ReadFile(dest), previous);
    } else {
      EXPECT_TRUE(writer_messages.contains(call.message)) << call.message;
      EXPECT_EQ(ReadFile(dest), previous);
    }
    // No temporary file is left behind: the source, the reference and dest.
    EXPECT_EQ(FilesIn(dir.path()), 3u);
    // And the next call works as if nothing had happened.
    EXPECT_EQ(CallEntry(src, dest).result, 0);
    EXPECT_EQ(ReadFile(dest), expected);
  }
  EXPECT_LT(absorbed, total / 4);
}

INSTANTIATE_TEST_SUITE_P(Files, AllocationFailure,
                         ::testing::Values("all_chunks.3ds", "odd_order.3ds", "sample.3ds"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace robustness
