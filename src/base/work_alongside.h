// Work that the calling thread hands out as it goes on with its own: Add
// queues a job, which one of the helper threads (AddHelper) takes and runs.
// Finish has the calling thread run what is still waiting too, waits for
// the helpers, and rethrows the exception of the first job, in the order
// added, that threw one.  Without helpers the jobs wait for Finish.
// Destroying it before Finish drops what is waiting and waits for the
// helpers.
#pragma once

#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace torvik {

class WorkAlongside {
 public:
  WorkAlongside();
  ~WorkAlongside();
  WorkAlongside(const WorkAlongside&) = delete;
  WorkAlongside& operator=(const WorkAlongside&) = delete;

  // False when no more threads can be had.
  bool AddHelper();
  std::size_t Helpers() const;

  void Add(std::function<void()> job);
  void Finish();

 private:
  struct Shared;
  void Work();
  void Join();

  std::unique_ptr<Shared> shared_;
};

}  // namespace torvik
