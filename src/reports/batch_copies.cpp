#include "torvik32c/batch_copies.h"

#include "torvik32c/file_identity.h"

namespace torvik {

BatchCopies::BatchCopies(const std::vector<std::string>& outputs, std::size_t files)
    : ended_(files, false) {
  for (const std::string& output : outputs) outputs_.insert(PlaceKey(output));
}

void BatchCopies::WaitTurn(std::size_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  turn_changed_.wait(lock, [&] { return turn_ >= index; });
}

void BatchCopies::EndTurn(std::size_t index) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (index >= ended_.size() || ended_[index]) return;
  ended_[index] = true;
  while (turn_ < ended_.size() && ended_[turn_]) ++turn_;
  turn_changed_.notify_all();
}

bool BatchCopies::IsOutput(const std::filesystem::path& place) const {
  return outputs_.count(PlaceKey(place.string())) != 0;
}

std::string BatchCopies::CopiedFor(const std::filesystem::path& place) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = copies_.find(PlaceKey(place.string()));
  return found == copies_.end() ? std::string() : found->second;
}

void BatchCopies::RecordCopy(const std::filesystem::path& place, const std::string& input) {
  std::lock_guard<std::mutex> lock(mutex_);
  copies_.emplace(PlaceKey(place.string()), input);
}

}  // namespace torvik
