#include "work_alongside.h"

#include <utility>

#include "parallel_ranges.h"

#ifdef TORVIK_HAVE_THREADS
#include <condition_variable>
#include <mutex>
#endif

namespace torvik {

namespace {

struct Job {
  std::size_t sequence;
  std::function<void()> run;
};

}  // namespace

struct WorkAlongside::Shared {
  std::deque<Job> waiting;
  std::size_t added = 0;
  // The first job, in the order added, that threw.
  std::size_t failed_at = 0;
  std::exception_ptr failure;
  bool adding = true;
#ifdef TORVIK_HAVE_THREADS
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::thread> helpers;
#endif
};

#ifdef TORVIK_HAVE_THREADS
using Lock = std::unique_lock<std::mutex>;
#define TORVIK_LOCK(shared) Lock lock((shared).mutex)
#else
#define TORVIK_LOCK(shared) (void)(shared)
#endif

WorkAlongside::WorkAlongside() : shared_(std::make_unique<Shared>()) {}

WorkAlongside::~WorkAlongside() {
  {
    TORVIK_LOCK(*shared_);
    shared_->waiting.clear();
    shared_->adding = false;
  }
  Join();
}

bool WorkAlongside::AddHelper() {
#ifdef TORVIK_HAVE_THREADS
  try {
    shared_->helpers.emplace_back([this] { Work(); });
    return true;
  } catch (const std::exception&) {
    return false;
  }
#else
  return false;
#endif
}

std::size_t WorkAlongside::Helpers() const {
#ifdef TORVIK_HAVE_THREADS
  return shared_->helpers.size();
#else
  return 0;
#endif
}

void WorkAlongside::Add(std::function<void()> job) {
  {
    TORVIK_LOCK(*shared_);
    shared_->waiting.push_back({shared_->added++, std::move(job)});
  }
#ifdef TORVIK_HAVE_THREADS
  shared_->changed.notify_one();
#endif
}

void WorkAlongside::Finish() {
  {
    TORVIK_LOCK(*shared_);
    shared_->adding = false;
  }
  Work();
  Join();
  if (shared_->failure) std::rethrow_exception(shared_->failure);
}

void WorkAlongside::Work() {
  Shared& s = *shared_;
  for (;;) {
    Job job;
    {
      TORVIK_LOCK(s);
#ifdef TORVIK_HAVE_THREADS
      s.changed.wait(lock, [&] { return !s.waiting.empty() || !s.adding; });
#endif
      if (s.waiting.empty()) return;
      job = std::move(s.waiting.front());
      s.waiting.pop_front();
    }
    try {
      job.run();
    } catch (...) {
      TORVIK_LOCK(s);
      if (!s.failure || job.sequence < s.failed_at) {
        s.failure = std::current_exception();
        s.failed_at = job.sequence;
      }
    }
  }
}

void WorkAlongside::Join() {
#ifdef TORVIK_HAVE_THREADS
  shared_->changed.notify_all();
  for (std::thread& helper : shared_->helpers) helper.join();
  shared_->helpers.clear();
#endif
}

}  // namespace torvik
