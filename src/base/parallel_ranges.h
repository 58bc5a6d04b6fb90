// Runs work(first, last) over [0, count) split into `parts` ranges, one
// thread each.  Exceptions from any range reach the caller after every
// thread has ended; where threads can't be had the ranges run one by one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <vector>

// MinGW without its thread model and WebAssembly built without pthreads
// have no threads.
#if (!defined(__MINGW32__) || defined(_GLIBCXX_HAS_GTHREADS)) && \
    (!defined(__EMSCRIPTEN__) || defined(__EMSCRIPTEN_PTHREADS__))
#include <system_error>
#include <thread>
#define TORVIK_HAVE_THREADS 1
#endif

namespace torvik {

template <class Work>
void ParallelRanges(std::size_t count, std::size_t parts, Work&& work) {
  auto range = [&](std::size_t part) { work(count * part / parts, count * (part + 1) / parts); };
  std::vector<std::exception_ptr> errors(parts);
  auto guarded = [&](std::size_t part) {
    try {
      range(part);
    } catch (...) {
      errors[part] = std::current_exception();
    }
  };
  std::size_t started = 1;
#ifdef TORVIK_HAVE_THREADS
  std::vector<std::thread> threads;
  try {
    threads.reserve(parts);
    for (; started < parts; ++started) threads.emplace_back(guarded, started);
  } catch (const std::exception&) {
    // No more threads: the remaining ranges run here.
  }
#endif
  guarded(0);
  for (std::size_t part = started; part < parts; ++part) guarded(part);
#ifdef TORVIK_HAVE_THREADS
  for (std::thread& thread : threads) thread.join();
#endif
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);
}

inline std::size_t HardwareThreads() {
#ifdef TORVIK_HAVE_THREADS
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
#else
  return 1;
#endif
}

// The threads to share `items` among when a thread pays off only from
// `items_per_thread` items on: at most `budget` (0: the machine's cores),
// and at most 16.
inline std::size_t ThreadsFor(std::size_t items, std::size_t items_per_thread,
                              std::size_t budget = 0) {
  constexpr std::size_t kMaxThreads = 16;
  return std::min({budget != 0 ? budget : HardwareThreads(), kMaxThreads,
                   std::max<std::size_t>(1, items / items_per_thread)});
}

}  // namespace torvik
