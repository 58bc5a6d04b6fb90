// Items made on worker threads and used in order on the calling thread.
//
// OrderedSource: produce(worker, i) runs for every i in [0, count) on one of
// `workers` threads, at most `window` items ahead of the one taken, and
// Take(i) gives item i for i = 0, 1, 2, ... once it is made.  An exception
// from produce(worker, i) is thrown by Take(i), so the first failure in item
// order is the one reported, as if everything had run in order on one
// thread.  Destroying the source stops the workers (the items not taken are
// dropped) and waits for them.  Where threads can't be had, Take(i) makes
// item i on the calling thread.
//
// OrderedPipeline: consume(i, result) runs on the calling thread for every
// item of such a source in turn; an exception from consume stops the
// workers and reaches the caller.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "parallel_ranges.h"
#include "thread_start.h"

#ifdef TORVIK_HAVE_THREADS
#include <condition_variable>
#include <mutex>
#endif

namespace torvik {

template <class Result>
class OrderedSource {
 public:
  using Produce = std::function<Result(std::size_t worker, std::size_t index)>;

  OrderedSource(std::size_t count, std::size_t workers, std::size_t window, Produce produce)
      : produce_(std::move(produce)) {
#ifdef TORVIK_HAVE_THREADS
    if (workers == 0 || window == 0 || count == 0) return;
    count_ = count;
    slots_.resize(window);
    try {
      threads_.reserve(workers);
      for (std::size_t w = 0; w < workers; ++w)
        threads_.push_back(StartThread([this, w] { Work(w); }));
    } catch (const std::exception&) {
      // Fewer threads than asked for: the ones started do all the work.
    }
#else
    (void)count;
    (void)workers;
    (void)window;
#endif
  }

  OrderedSource(const OrderedSource&) = delete;
  OrderedSource& operator=(const OrderedSource&) = delete;

  ~OrderedSource() {
#ifdef TORVIK_HAVE_THREADS
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
#endif
  }

  Result Take(std::size_t i) {
#ifdef TORVIK_HAVE_THREADS
    if (!threads_.empty()) {
      Slot slot;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return slots_[i % slots_.size()].ready; });
        slot = std::move(slots_[i % slots_.size()]);
        slots_[i % slots_.size()] = Slot{};
        used_ = i + 1;
      }
      changed_.notify_all();
      if (slot.error) std::rethrow_exception(slot.error);
      return std::move(*slot.result);
    }
#endif
    return produce_(0, i);
  }

 private:
#ifdef TORVIK_HAVE_THREADS
  struct Slot {
    std::optional<Result> result;
    std::exception_ptr error;
    bool ready = false;
  };

  void Work(std::size_t worker) {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock,
                      [&] { return stop_ || next_ >= count_ || next_ < used_ + slots_.size(); });
        if (stop_ || next_ >= count_) return;
        i = next_++;
      }
      Slot made;
      try {
        made.result.emplace(produce_(worker, i));
      } catch (...) {
        made.error = std::current_exception();
      }
      made.ready = true;
      {
        std::lock_guard lock(mutex_);
        slots_[i % slots_.size()] = std::move(made);
      }
      changed_.notify_all();
    }
  }

  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t count_ = 0, next_ = 0, used_ = 0;
  bool stop_ = false;
  std::vector<std::thread> threads_;
#endif
  Produce produce_;
};

template <class Result, class Produce, class Consume>
void OrderedPipeline(std::size_t count, std::size_t workers, std::size_t window, Produce&& produce,
                     Consume&& consume) {
  OrderedSource<Result> source(count, workers, window, std::ref(produce));
  for (std::size_t i = 0; i < count; ++i) consume(i, source.Take(i));
}

}  // namespace torvik
