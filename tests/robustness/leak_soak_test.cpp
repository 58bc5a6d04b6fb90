// Ten thousand calls in one process, mixing good, damaged and missing
// sources and failing destinations: nothing the calls allocate or open may
// outlive them.  LeakSanitizer (preset asan) and scripts/valgrind-soak.sh
// check the same run for leaks outside operator new.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "failing_new.h"
#include "robustness_support.h"
#include "seed_files.h"

namespace robustness {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

std::size_t SoakCalls() {
  const char* text = std::getenv("TORVIK_SOAK_CALLS");
  return text != nullptr ? std::strtoul(text, nullptr, 10) : 10000;
}

TEST(LeakSoak, TenThousandCallsLeaveNothingBehind) {
  TempDir dir;
  std::vector<std::string> sources;
  for (const t3ds::SeedFile& seed : t3ds::SeedFiles()) {
    sources.push_back(dir.file(seed.name));
    WriteFile(sources.back(), seed.bytes);
    Bytes cut = seed.bytes;
    cut.resize(cut.size() * 2 / 3);
    sources.push_back(dir.file("cut-" + seed.name));
    WriteFile(sources.back(), cut);
    Bytes long_list = seed.bytes;
    long_list[4] ^= 0x40;  // the main chunk claims 16 MiB more than there is
    sources.push_back(dir.file("long-" + seed.name));
    WriteFile(sources.back(), long_list);
  }
  sources.push_back(dir.file("missing.3ds"));
  sources.push_back(dir.path().string());  // a directory
  const std::string sample = dir.file("sample.3ds");
  WriteFile(sample, ReadFile(TORVIK_SAMPLE));
  // Mostly /dev/null, so the run measures the library rather than the disk;
  // every tenth call replaces a file, some fail to open their destination.
  const std::vector<std::string> destinations = {"/dev/null", dir.file("out.bmf"),
                                                 dir.file("no/such/out.bmf"), dir.path().string()};

  std::size_t succeeded = 0;
  auto call = [&](std::size_t i) {
    const std::string& src = i % 97 == 0 ? sample : sources[i % sources.size()];
    const std::string& dest = destinations[i % 10 == 0 ? 1 : i % 7 == 0 ? 2 + (i / 7) % 2 : 0];
    if (CallEntry(src, dest).result == 0) ++succeeded;
  };
  // The first calls may set up what the process keeps (locale, stdio).
  for (std::size_t i = 0; i < 100; ++i) call(i);
  const std::int64_t live = failing_new::LiveAllocations();
  const std::size_t descriptors = OpenDescriptors();
  const std::size_t calls = SoakCalls();
  for (std::size_t i = 0; i < calls; ++i) call(i);
  EXPECT_EQ(failing_new::LiveAllocations(), live);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_GT(succeeded, calls / 10);
  EXPECT_LT(succeeded, calls);
  // No temporary file is left: the sources written above, the sample and
  // out.bmf (as many as `sources`, which also names a missing file and the
  // folder).
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++files;
  EXPECT_EQ(files, sources.size());
}

}  // namespace
}  // namespace robustness
