// Inputs and checks shared by the robustness tests.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "test_support.h"

namespace robustness {

using Bytes = std::vector<std::uint8_t>;

inline const Bytes kEmptyBmf = {0, 0, 0, 0};

struct NamedInput {
  std::string name;
  Bytes bytes;
};

// The shipped sample, the generated seed files, and the real-world corpus
// when it is present.
std::vector<NamedInput> SmallInputs();

// A generated model of well over 64 KiB.
NamedInput LargeInput();

// One call of the C entry, with a message buffer that starts as
// "untouched".
struct EntryCall {
  int result;
  std::string message;
};
EntryCall CallEntry(const std::string& src, const std::string& dest);

// Reads, converts and writes `bytes` in memory.  Returns the BMF bytes, or
// nothing when the read fails with a ReadError.  Any other failure, and any
// written file that breaks a rule of the layout, is a test failure.
std::optional<Bytes> ConvertInMemory(std::span<const std::uint8_t> bytes);

// Runs damaged inputs through the C++ API and the C entry and checks that
// both agree: a converted file gives result 0, an untouched message buffer
// and the same bytes; a failed read gives result 1, "Can't parse SRC\n" and
// the 4-byte file in place of whatever the destination held.
class DamageChecker {
 public:
  // Returns whether the bytes converted.  The C++ API sees every variant;
  // the C entry, whose file handling does not depend on where the damage
  // is, sees every `entry_every`-th call.
  explicit DamageChecker(std::size_t entry_every = 1);
  bool Check(std::span<const std::uint8_t> bytes);
  std::size_t converted() const { return converted_; }
  std::size_t failed() const { return failed_; }

 private:
  testing_support::TempDir dir_;
  std::string src_, dest_;
  std::size_t entry_every_;
  std::size_t calls_ = 0, converted_ = 0, failed_ = 0;
};

}  // namespace robustness
