// Inputs that once crashed, hung or tripped a sanitizer, kept as found (after
// minimising) in tests/robustness/regressions/: each must convert or fail as
// a damaged read, in memory and through the C entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "robustness_support.h"

namespace robustness {
namespace {

TEST(RegressionFiles, EachConvertsOrFailsCleanly) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(TORVIK_REGRESSIONS_DIR, error))
    if (entry.path().extension() == ".3ds") files.push_back(entry.path());
  if (files.empty()) GTEST_SKIP() << "no kept inputs in " << TORVIK_REGRESSIONS_DIR;
  std::sort(files.begin(), files.end());
  DamageChecker checker;
  for (const std::filesystem::path& file : files) {
    SCOPED_TRACE(file.string());
    checker.Check(testing_support::ReadFile(file.string()));
  }
}

}  // namespace
}  // namespace robustness
