// 3ds2bmf: converts 3DS files into BMF files, several at once.
#include <atomic>
#include <cstdio>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "convert_file.h"
#include "options.h"
#include "report.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

#ifndef TORVIK_VERSION
#define TORVIK_VERSION "unknown"
#endif

namespace {

// Prints results in input order as they complete, with a progress bar on a
// terminal.
class Reporter {
 public:
  Reporter(const Options& options, std::size_t total)
      : options_(options),
        results_(total),
        done_flags_(total, false),
        progress_(!options.quiet && total > 1 && isatty(2)) {}

  void Finished(std::size_t index, FileResult result) {
    std::lock_guard<std::mutex> lock(mutex_);
    results_[index] = std::move(result);
    done_flags_[index] = true;
    ++done_;
    ClearBar();
    while (next_ < results_.size() && done_flags_[next_]) Print(results_[next_++]);
    DrawBar();
  }

  bool AllOk() const {
    for (const FileResult& r : results_)
      if (!r.ok) return false;
    return true;
  }

  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearBar();
  }

 private:
  void Print(const FileResult& r) {
    if (!options_.quiet || !r.ok)
      for (const std::string& line : WarningLines(r)) std::fprintf(stderr, "%s\n", line.c_str());
    if (!r.ok) std::fprintf(stderr, "%s\n", ErrorLine(r).c_str());
    if (options_.json)
      std::printf("%s\n", JsonLine(r).c_str());
    else if (options_.verbose && r.ok && !options_.quiet)
      std::printf("%s\n", SummaryLine(r).c_str());
    std::fflush(stdout);
  }
  void ClearBar() {
    if (progress_) std::fprintf(stderr, "\r\033[K");
  }
  void DrawBar() {
    if (progress_ && done_ < results_.size()) {
      std::fprintf(stderr, "%s", ProgressBar(done_, results_.size()).c_str());
      std::fflush(stderr);
    }
  }

  const Options& options_;
  std::mutex mutex_;
  std::vector<FileResult> results_;
  std::vector<bool> done_flags_;
  std::size_t done_ = 0, next_ = 0;
  bool progress_;
};

int Run(const Options& options) {
  std::vector<std::string> outputs;
  std::set<std::string> seen;
  for (const std::string& input : options.inputs) {
    outputs.push_back(OutputPath(options, input));
    if (!seen.insert(outputs.back()).second) {
      std::fprintf(stderr, "3ds2bmf: two inputs would both be written to %s\n",
                   outputs.back().c_str());
      return 2;
    }
  }
  std::size_t jobs = options.jobs != 0 ? options.jobs : std::thread::hardware_concurrency();
  jobs = std::max<std::size_t>(1, std::min(jobs, options.inputs.size()));

  Reporter reporter(options, options.inputs.size());
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < options.inputs.size(); i = next++)
      reporter.Finished(i, ConvertFile(options.inputs[i], outputs[i],
                                       {.preview = options.preview,
                                        .smoothing_groups = options.smoothing_groups,
                                        .texture_paths = options.texture_paths,
                                        .copy_textures = options.copy_textures,
                                        .require_textures = options.require_textures,
                                        .preview_textures = options.textures}));
  };
  std::vector<std::thread> threads;
  for (std::size_t t = 1; t < jobs; ++t) threads.emplace_back(worker);
  worker();
  for (std::thread& thread : threads) thread.join();
  reporter.Close();
  return reporter.AllOk() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "3ds2bmf: %s\nTry '3ds2bmf --help' for more information.\n", error.what());
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("3ds2bmf %s\n", TORVIK_VERSION);
    return 0;
  }
  return Run(options);
}
