// Items made on worker threads and used in order on the calling thread:
// produce(worker, i) runs for every i in [0, count) on one of `workers`
// threads, at most `window` items ahead of the one being used, and
// consume(i, result) runs on the calling thread for i = 0, 1, 2, ... as the
// results come in.  An exception from produce(worker, i) reaches the caller
// when item i's turn comes, so the first failure in item order is the one
// reported, as if everything had run in order on one thread; an exception
// from consume stops the workers and reaches the caller too.  Where threads
// can't be had, every item is made and used in turn on the calling thread.
#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "parallel_ranges.h"

#ifdef TORVIK_HAVE_THREADS
#include <condition_variable>
#include <mutex>
#endif

namespace torvik {

template <class Result, class Produce, class Consume>
void OrderedPipeline(std::size_t count, std::size_t workers, std::size_t window, Produce&& produce,
                     Consume&& consume) {
  auto in_turn = [&] {
    for (std::size_t i = 0; i < count; ++i) consume(i, produce(std::size_t{0}, i));
  };
#ifdef TORVIK_HAVE_THREADS
  if (workers == 0 || window == 0 || count == 0) return in_turn();
  struct Slot {
    std::optional<Result> result;
    std::exception_ptr error;
    bool ready = false;
  };
  std::vector<Slot> slots(window);
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0, used = 0;
  bool stop = false;

  auto work = [&](std::size_t worker) {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || next >= count || next < used + window; });
        if (stop || next >= count) return;
        i = next++;
      }
      Slot made;
      try {
        made.result.emplace(produce(worker, i));
      } catch (...) {
        made.error = std::current_exception();
      }
      made.ready = true;
      {
        std::lock_guard lock(mutex);
        slots[i % window] = std::move(made);
      }
      changed.notify_all();
    }
  };

  std::vector<std::thread> threads;
  auto finish = [&] {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
    for (std::thread& thread : threads) thread.join();
  };
  try {
    threads.reserve(workers);
    for (std::size_t w = 0; w < workers; ++w) threads.emplace_back(work, w);
  } catch (const std::exception&) {
    // Fewer threads than asked for: the ones started do all the work.
  }
  if (threads.empty()) return in_turn();

  try {
    for (std::size_t i = 0; i < count; ++i) {
      Slot slot;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return slots[i % window].ready; });
        slot = std::move(slots[i % window]);
        slots[i % window] = Slot{};
        used = i + 1;
      }
      changed.notify_all();
      if (slot.error) std::rethrow_exception(slot.error);
      consume(i, std::move(*slot.result));
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
#else
  (void)workers;
  (void)window;
  in_turn();
#endif
}

}  // namespace torvik
