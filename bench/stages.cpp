// torvik_stages: times the converter's stages on each input, every repetition
// in a fresh child process, and prints a table of medians.
//
//   torvik_stages [--reps N] [--out DIR] FILE.3ds...
//
// Stages: read (torvik::ReadFileBytes, then torvik::HRead3dsScene; the bytes
// are freed at the end), convert (torvik::convert_to_outgl with the vertex
// normals; the scene is freed at the end) and write (torvik::OutGLBMF).
// Peak memory is the process's high-water mark during the stage.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "measure.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"

namespace {

// What one repetition sends back.
enum Field {
  kBytesSeconds,
  kParseSeconds,
  kConvertSeconds,
  kWriteSeconds,
  kTeardownSeconds,
  kBytesCpu,
  kParseCpu,
  kConvertCpu,
  kWriteCpu,
  kTeardownCpu,
  kReadPeak,
  kConvertPeak,
  kWritePeak,
  kTriangles,
  kVertices,
  kBlocks,
  kOutputBytes,
  kFieldCount
};

// Wall and processor time of one stage.
class StageClock {
 public:
  StageClock() { Restart(); }
  void Restart() {
    wall_ = bench::Now();
    cpu_ = bench::CpuNow();
  }
  // Stores the time since the last restart, then restarts.
  void Lap(double* out, int wall_field, int cpu_field) {
    out[wall_field] = bench::Now() - wall_;
    out[cpu_field] = bench::CpuNow() - cpu_;
    Restart();
  }

 private:
  double wall_ = 0, cpu_ = 0;
};

void RunStages(const std::string& input, const std::string& output, double* out) {
  const bool resets = bench::ResetPeak();
  StageClock clock;
  torvik::Model model;
  {
    torvik::H3dsScene scene;
    {
      const std::vector<torvik::byte> bytes = torvik::ReadFileBytes(input);
      clock.Lap(out, kBytesSeconds, kBytesCpu);
      scene = torvik::HRead3dsScene(bytes);
    }
    clock.Lap(out, kParseSeconds, kParseCpu);
    out[kReadPeak] = static_cast<double>(bench::PeakKib());
    if (resets) bench::ResetPeak();
    clock.Restart();
    model = torvik::convert_to_outgl(scene);
    scene = {};
    clock.Lap(out, kConvertSeconds, kConvertCpu);
    out[kConvertPeak] = static_cast<double>(bench::PeakKib());
  }
  if (resets) bench::ResetPeak();
  clock.Restart();
  torvik::BmfStats stats;
  torvik::OutGLBMF(model, output, &stats);
  clock.Lap(out, kWriteSeconds, kWriteCpu);
  out[kWritePeak] = static_cast<double>(bench::PeakKib());
  model = {};
  clock.Lap(out, kTeardownSeconds, kTeardownCpu);
  out[kTriangles] = static_cast<double>(stats.triangles);
  out[kVertices] = static_cast<double>(stats.vertices);
  out[kBlocks] = static_cast<double>(stats.blocks);
  out[kOutputBytes] = static_cast<double>(stats.bytes);
}

struct Summary {
  std::vector<double> fields[kFieldCount];
  std::vector<double> totals, cpu_totals;
  std::vector<double> process_peaks;
};

std::string Milliseconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, seconds < 0.01 ? "%.2f" : "%.1f", seconds * 1e3);
  return text;
}

void PrintRow(const char* name, const char* stage, double seconds, double cpu_seconds,
              double input_bytes, double triangles, double peak_kib) {
  char peak[32] = "";
  if (peak_kib >= 0) std::snprintf(peak, sizeof peak, "%.1f", peak_kib / 1024.0);
  std::printf("| %s | %s | %s | %s | %.0f | %.2f | %s |\n", name, stage,
              Milliseconds(seconds).c_str(), Milliseconds(cpu_seconds).c_str(),
              input_bytes / 1e6 / seconds, triangles / 1e6 / seconds, peak);
}

}  // namespace

int main(int argc, char** argv) {
  const bench::BenchArguments arguments = bench::ParseBenchArguments(argc, argv, "torvik_stages");
  const int reps = arguments.reps;
  const std::string& out_dir = arguments.out_dir;
  const std::vector<std::string>& inputs = arguments.inputs;
  std::printf(
      "Per stage, median of %d runs, each in a fresh process. ms: wall time; cpu ms: "
      "processor time of all threads; MB/s: of input; Mtri/s: triangles written; peak: "
      "the process's resident high-water mark during the stage.\n\n",
      reps);
  std::printf("| input | stage | ms | cpu ms | MB/s | Mtri/s | peak MiB |\n");
  std::printf("| --- | --- | ---: | ---: | ---: | ---: | ---: |\n");
  std::vector<std::string> notes;
  int failures = 0;
  for (const std::string& input : inputs) {
    const std::string name = std::filesystem::path(input).stem().string();
    const std::string output = (std::filesystem::path(out_dir) / (name + ".stages.bmf")).string();
    Summary summary;
    for (int r = 0; r < reps; ++r) {
      const bench::ChildRun run =
          bench::RunInChild(kFieldCount, [&](double* out) { RunStages(input, output, out); });
      if (!run.ok) {
        std::fprintf(stderr, "torvik_stages: %s failed\n", input.c_str());
        ++failures;
        break;
      }
      for (int f = 0; f < kFieldCount; ++f) summary.fields[f].push_back(run.values[f]);
      summary.totals.push_back(run.values[kBytesSeconds] + run.values[kParseSeconds] +
                               run.values[kConvertSeconds] + run.values[kWriteSeconds] +
                               run.values[kTeardownSeconds]);
      summary.cpu_totals.push_back(run.values[kBytesCpu] + run.values[kParseCpu] +
                                   run.values[kConvertCpu] + run.values[kWriteCpu] +
                                   run.values[kTeardownCpu]);
      // Resetting the high-water mark resets ru_maxrss too: the process's
      // peak is the highest of the stages' (or ru_maxrss when nothing reset).
      summary.process_peaks.push_back(
          std::max({static_cast<double>(run.peak_kib), run.values[kReadPeak],
                    run.values[kConvertPeak], run.values[kWritePeak]}));
    }
    if (summary.totals.empty()) continue;
    auto median = [&](Field f) { return bench::Median(summary.fields[f]); };
    const double size = bench::FileBytes(input);
    const double triangles = median(kTriangles);
    const char* n = name.c_str();
    PrintRow(n, "read: file bytes", median(kBytesSeconds), median(kBytesCpu), size, triangles,
             median(kReadPeak));
    PrintRow(n, "read: parse", median(kParseSeconds), median(kParseCpu), size, triangles,
             median(kReadPeak));
    PrintRow(n, "convert + normals", median(kConvertSeconds), median(kConvertCpu), size, triangles,
             median(kConvertPeak));
    PrintRow(n, "write", median(kWriteSeconds), median(kWriteCpu), size, triangles,
             median(kWritePeak));
    PrintRow(n, "free model", median(kTeardownSeconds), median(kTeardownCpu), size, triangles, -1);
    PrintRow(n, "**all stages**", bench::Median(summary.totals), bench::Median(summary.cpu_totals),
             size, triangles, bench::Median(summary.process_peaks));
    char note[256];
    std::snprintf(note, sizeof note,
                  "%s: %.1f MB in, %.1f MB out, %.0f triangles and %.0f vertices written in %.0f "
                  "blocks",
                  name.c_str(), size / 1e6, median(kOutputBytes) / 1e6, triangles,
                  median(kVertices), median(kBlocks));
    notes.push_back(note);
    std::filesystem::remove(output);
  }
  std::printf("\n");
  for (const std::string& note : notes) std::printf("- %s\n", note.c_str());
  return failures == 0 ? 0 : 1;
}
