// 3ds2bmf: converts 3DS files into BMF files, several at once.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "convert_file.h"
#include "heap_reuse.h"
#include "interruption.h"
#include "model_listing.h"
#include "options.h"
#include "output_folder.h"
#include "report.h"
#include "texture_folders.h"
#include "torvik32c/file_identity.h"
#include "torvik32c/name_text.h"

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

  std::size_t Converted() const {
    std::size_t count = 0;
    for (const FileResult& r : results_) count += r.ok || r.preview_unfinished ? 1 : 0;
    return count;
  }

  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearBar();
  }

  const std::vector<FileResult>& Results() const { return results_; }

 private:
  void Print(const FileResult& r) {
    for (const std::string& note : r.notes)
      if (!options_.quiet || (!r.ok && !r.cancelled))
        std::fprintf(stderr, "3ds2bmf: %s\n", note.c_str());
    // An interrupted batch ends with one line about it, not one per file,
    // except for a BMF whose preview was cut short.
    if (!r.ok && (!r.cancelled || r.preview_unfinished))
      std::fprintf(stderr, "%s\n", ErrorLine(r).c_str());
    if (options_.json)
      std::printf("%s\n", JsonLine(r, options_.names).c_str());
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

// Every file the run would write: the BMF of each input, its preview and its glTF.
std::vector<std::string> FilesWritten(const Options& options, const std::string& output) {
  std::vector<std::string> files{output};
  if (options.preview) files.push_back(PreviewPath(output));
  if (options.gltf) files.push_back(GltfPath(output));
  return files;
}

// Refuses, before anything is written, a run that would write over one of its
// inputs or write two outputs to one file.  Returns the message, or "".
std::string CheckOutputs(const Options& options, const std::vector<std::string>& outputs) {
  if (options.output == kStandardOutput) {
    if (isatty(1)) return "refusing to write a BMF to a terminal (-o -)";
    if (options.json || options.verbose)
      return "-o - writes the BMF to standard output, where --json and -v would print too";
    return "";
  }
  torvik::InputFiles inputs;
  for (const std::string& input : options.inputs) inputs.Add(input);
  std::set<std::string> seen;
  for (const std::string& output : outputs) {
    for (const std::string& file : FilesWritten(options, output)) {
      if (inputs.Contains(file))
        return "the output " + torvik::ShownText(file) + " is one of the input files";
      if (!seen.insert(torvik::FileKey(file)).second)
        return "two inputs would both be written to " + torvik::ShownText(file);
    }
  }
  return "";
}

int Run(const Options& options) {
  std::vector<std::string> outputs;
  for (const std::string& input : options.inputs) outputs.push_back(OutputPath(options, input));
  if (const std::string refusal = CheckOutputs(options, outputs); !refusal.empty()) {
    std::fprintf(stderr, "3ds2bmf: %s\n", refusal.c_str());
    return 2;
  }
  if (options.directory) {
    const FolderCheck folder = PrepareOutputFolder(*options.directory);
    if (folder.status != 0) {
      std::fprintf(stderr, "3ds2bmf: %s\n", folder.message.c_str());
      return folder.status;
    }
  }
  for (const std::string& warning : TextureFolderWarnings(options.texture_paths))
    if (!options.quiet) std::fprintf(stderr, "3ds2bmf: %s\n", warning.c_str());
  std::optional<torvik::BatchCopies> batch;
  if (options.copy_textures) {
    std::vector<std::string> written;
    for (const std::string& output : outputs)
      for (std::string& file : FilesWritten(options, output)) written.push_back(std::move(file));
    batch.emplace(written, outputs.size());
  }
  CatchInterruptions();
  const auto start = std::chrono::steady_clock::now();
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  std::size_t jobs = options.jobs != 0 ? options.jobs : cores;
  jobs = std::max<std::size_t>(1, std::min(jobs, options.inputs.size()));
  // The files converted at once share the cores, so that a batch does not
  // run more threads than there are cores.
  const std::size_t threads_each =
      options.threads != 0 ? options.threads : std::max<std::size_t>(1, cores / jobs);

  Reporter reporter(options, options.inputs.size());
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < options.inputs.size(); i = next++)
      reporter.Finished(i, ConvertFile(options.inputs[i], outputs[i],
                                       {.preview = options.preview,
                                        .gltf = options.gltf,
                                        .smoothing_groups = options.smoothing_groups,
                                        .file_normals = options.file_normals,
                                        .name_encoding_given = options.name_encoding_given,
                                        .keep_file_winding = options.keep_file_winding,
                                        .keyframer = options.keyframer,
                                        .max_placed_faces = options.max_placed_faces,
                                        .report_keyframer = options.json || !options.quiet,
                                        .report_scene = options.json,
                                        .frames_per_second = options.fps,
                                        .orient_outward = options.orient_outward,
                                        .names = options.names,
                                        .texture_paths = options.texture_paths,
                                        .texture_choices = options.texture_choices,
                                        .copy_textures = options.copy_textures,
                                        .report_maps = options.json,
                                        .batch = batch ? &*batch : nullptr,
                                        .index = i,
                                        .require_textures = options.require_textures,
                                        .preview_textures = options.textures,
                                        .optimize = options.optimize,
                                        .cancel = &InterruptionFlag(),
                                        .threads = threads_each}));
  };
  if (options.optimize) KeepFreedMemoryForReuse();
  std::vector<std::thread> threads;
  for (std::size_t t = 1; t < jobs; ++t) threads.emplace_back(worker);
  worker();
  for (std::thread& thread : threads) thread.join();
  reporter.Close();
  if (Interrupted()) {
    std::fprintf(stderr, "3ds2bmf: interrupted: %zu of %zu files converted\n", reporter.Converted(),
                 options.inputs.size());
    return InterruptedExitStatus();
  }
  if (options.inputs.size() > 1 && !options.quiet) {
    const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "%s\n", BatchSummary(reporter.Results(), taken.count()).c_str());
  }
  return reporter.AllOk() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& error) {
    // The message may quote the command line (CLI11 words it).
    std::fprintf(stderr, "3ds2bmf: %s\nTry '3ds2bmf --help' for more information.\n",
                 torvik::ShownText(error.what()).c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("3ds2bmf %s\n", TORVIK_VERSION);
    return 0;
  }
  return options.list ? RunList(options) : Run(options);
}
