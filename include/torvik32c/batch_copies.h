// What the texture copies of one batch share: the files the batch writes
// (which no copy may replace), the copies made so far, and the turns that
// make copies in input order, so that when two models copy textures of one
// name into one folder, the earlier input's copy is the one that stays,
// however many files are converted at once.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace torvik {

class BatchCopies {
 public:
  // `outputs`: every file the batch writes (BMFs, previews, glTF files);
  // `files`: how many inputs it has.
  BatchCopies(const std::vector<std::string>& outputs, std::size_t files);

  // Blocks until every input before `index` has ended its turn.
  void WaitTurn(std::size_t index);
  // Lets the next input copy; later calls for the same input do nothing.
  void EndTurn(std::size_t index);

  // Whether the batch writes one of its outputs at `place`.
  bool IsOutput(const std::filesystem::path& place) const;
  // The input whose texture was copied to `place` in this batch, or "".
  std::string CopiedFor(const std::filesystem::path& place) const;
  void RecordCopy(const std::filesystem::path& place, const std::string& input);

 private:
  std::set<std::string> outputs_;
  std::map<std::string, std::string> copies_;  // place -> input
  mutable std::mutex mutex_;
  std::condition_variable turn_changed_;
  std::vector<bool> ended_;
  std::size_t turn_ = 0;  // the first input whose turn has not ended
};

// Ends an input's turn when it goes out of scope, unless ended before.
class CopyTurn {
 public:
  CopyTurn(BatchCopies* batch, std::size_t index) : batch_(batch), index_(index) {}
  ~CopyTurn() { End(); }
  CopyTurn(const CopyTurn&) = delete;
  CopyTurn& operator=(const CopyTurn&) = delete;
  void Wait() {
    if (batch_ != nullptr) batch_->WaitTurn(index_);
  }
  void End() {
    if (batch_ != nullptr) batch_->EndTurn(index_);
  }

 private:
  BatchCopies* batch_;
  std::size_t index_;
};

}  // namespace torvik
