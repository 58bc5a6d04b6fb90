// Calls on different threads are independent: eight threads converting
// different files at once, round after round, give exactly what the same
// calls give one by one.  Runs under ThreadSanitizer in the preset tsan.
#include <gtest/gtest.h>

#include <thread>

#include "robustness_support.h"

namespace robustness {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr std::size_t kThreads = 8;
constexpr std::size_t kRounds = 4;

struct Outcome {
  int result;
  std::string message;
  Bytes bmf;

  bool operator==(const Outcome&) const = default;
};

Outcome Convert(const std::string& src, const std::string& dest) {
  const EntryCall call = CallEntry(src, dest);
  return {call.result, call.message, ReadFile(dest)};
}

TEST(Threads, EightThreadsGiveTheOutputsOfSequentialRuns) {
  TempDir dir;
  std::vector<std::string> sources;
  for (const NamedInput& input : SmallInputs()) {
    sources.push_back(dir.file(input.name));
    WriteFile(sources.back(), input.bytes);
    Bytes cut = input.bytes;
    cut.resize(cut.size() / 2);
    sources.push_back(dir.file("cut-" + input.name));
    WriteFile(sources.back(), cut);
  }
  sources.push_back(dir.file("missing.3ds"));

  std::vector<Outcome> expected;
  for (std::size_t i = 0; i < sources.size(); ++i)
    expected.push_back(Convert(sources[i], dir.file("expected-" + std::to_string(i) + ".bmf")));

  for (std::size_t round = 0; round < kRounds; ++round) {
    std::vector<Outcome> outcomes(sources.size());
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        // Each thread starts at a different file and takes every eighth.
        for (std::size_t i = t; i < sources.size(); i += kThreads)
          outcomes[i] = Convert(sources[i], dir.file("thread-" + std::to_string(i) + ".bmf"));
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (std::size_t i = 0; i < sources.size(); ++i)
      EXPECT_TRUE(outcomes[i] == expected[i]) << sources[i] << " in round " << round;
  }
}

}  // namespace
}  // namespace robustness
