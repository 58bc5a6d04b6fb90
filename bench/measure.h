// What every benchmark here measures with: a clock, the peak memory of this
// process, child processes timed from fork to exit, and medians.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Seconds on the monotonic clock.
double Now();

// Processor seconds used by this process so far, all threads.
double CpuNow();

// The highest resident set of this process so far (VmHWM), in KiB.
long PeakKib();

// Lowers the high-water mark to the current resident set, so that PeakKib()
// then reports the peak of what runs after.  False when the kernel does not
// allow it (the peak then covers the process's whole life).
bool ResetPeak();

// One run of a program: wall time from fork to exit, the child's processor
// time, its peak resident set (ru_maxrss) and its exit status (-1 when it did
// not exit).
struct ProcessRun {
  double seconds = 0;
  double cpu_seconds = 0;  // user + system, all threads
  long peak_kib = 0;
  int exit_status = -1;
};

// Runs argv[0] (a path) with its standard output sent to `stdout_path`.
ProcessRun RunProcess(const std::vector<std::string>& argv,
                      const std::string& stdout_path = "/dev/null");

// Runs `work` in a forked child, which sends back `count` doubles; also
// reports the child's ru_maxrss.  Each measurement thus starts from a fresh
// heap, as the converter does in a process of its own.
struct ChildRun {
  std::vector<double> values;
  long peak_kib = 0;
  bool ok = false;
};
template <class Work>
ChildRun RunInChild(std::size_t count, Work&& work);

double Median(std::vector<double> values);

// The command line both benchmarks take:
//   [--reps N] [--out DIR] [--before PROGRAM] [--with "OPTIONS"]... [--no-peers]
//   FILE.3ds...
struct BenchArguments {
  int reps = 5;
  std::string out_dir;  // default: the temporary directory
  // Another 3ds2bmf (an earlier build) to run beside this one; end to end only.
  std::string before;
  // End to end only: 3ds2bmf run again with each of these option lists
  // (split at spaces), e.g. "--gltf" or "--keyframer", in every turn; and
  // whether the peers run at all.
  std::vector<std::string> variants;
  bool peers = true;
  std::vector<std::string> inputs;
};
// Exits with a usage message naming `program` when no input is given.
BenchArguments ParseBenchArguments(int argc, char** argv, const char* program);

// The size of a file in bytes, or 0 when it can't be read.
double FileBytes(const std::string& path);

// The folder holding the running executable.
std::string ExecutableDir();

namespace detail {
ChildRun ForkAndCollect(std::size_t count, void (*body)(void*, double*), void* context);
}

template <class Work>
ChildRun RunInChild(std::size_t count, Work&& work) {
  auto body = [](void* context, double* out) { (*static_cast<Work*>(context))(out); };
  return detail::ForkAndCollect(count, body, &work);
}

}  // namespace bench
