// torvik_e2e: file to file, process start included, our 3ds2bmf beside cat
// reading the input and cat copying our output into a file (the cost of
// moving those bytes at all) and, when they were built, the lib3ds and Assimp
// peers.  The programs take turns within every repetition,
// so all of them see the same machine, each starting with the same free
// memory (PrimeFreeMemory); the table gives medians and the
// ratios to ours, and the floors that the converter is held against.
//
//   torvik_e2e [--reps N] [--out DIR] [--before PROGRAM] [--with "OPTIONS"]...
//              [--no-peers] FILE.3ds...
//
// 3ds2bmf also runs with --threads 1, and PROGRAM (an earlier 3ds2bmf) when
// given, so the table shows what the second core and the changes since gain;
// each --with runs it once more per turn with those options (--gltf,
// --optimize, --keyframer...), so what an option costs is read from runs
// taken side by side with the default's (and PROGRAM too, when given).
// --no-peers leaves lib3ds and Assimp out.
#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "acos_cost.h"
#include "measure.h"
#include "torvik32c/3dsload.h"

namespace {

struct Program {
  Program(std::string name, std::vector<std::string> argv, std::string stdout_path = "/dev/null")
      : name(std::move(name)), argv(std::move(argv)), stdout_path(std::move(stdout_path)) {}

  std::string name;
  std::vector<std::string> argv;
  std::string stdout_path;
  std::vector<double> seconds;
  std::vector<double> cpu_seconds;
  std::vector<double> peaks;
  int failures = 0;
};

// In turn order; the copy of our output needs the output of the run before.
enum { kStart, kCatInput, kOurs, kCopyOutput };

// Every program starts with as much free memory backed by the machine's
// host as the largest of them needs.  This VM hands free memory back to its
// host (free page reporting), and memory the host took back is slow to
// touch again: without this, whichever program followed a large free (after
// Assimp's 600 MB) spent up to a third of its time clearing pages, and the
// same binary measured 140 ms in one slot and 220 ms in another.
void PrimeFreeMemory() {
  constexpr std::size_t kBytes = std::size_t{1} << 30;
  void* memory = mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  std::memset(memory, 1, kBytes);
  munmap(memory, kBytes);
}

// The words of an option list, split at spaces.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

// What each --with run writes: its BMF and whatever goes beside it.
std::string VariantOutput(const std::string& out, std::size_t index) {
  return out + ".with" + std::to_string(index);
}

std::vector<Program> Programs(const std::string& input, const std::string& out,
                              const bench::BenchArguments& arguments) {
  const std::string& before = arguments.before;
  std::vector<Program> programs;
  programs.push_back({"true (process start)", {"/bin/true"}});
  programs.push_back({"cat input", {"/bin/cat", input}});
  programs.push_back({"3ds2bmf", {TORVIK_3DS2BMF, "-q", input, "-o", out + ".bmf"}});
  programs.push_back({"cat output > file", {"/bin/cat", out + ".bmf"}, out + ".copy"});
  programs.push_back(
      {"3ds2bmf --threads 1", {TORVIK_3DS2BMF, "--threads", "1", "-q", input, "-o", out + ".one"}});
  if (!before.empty())
    programs.push_back({"3ds2bmf before", {before, "-q", input, "-o", out + ".before"}});
  for (std::size_t v = 0; v < arguments.variants.size(); ++v) {
    auto run = [&](const std::string& program, const std::string& label, const char* suffix) {
      std::vector<std::string> argv = {program, "-q"};
      for (std::string& word : Words(arguments.variants[v])) argv.push_back(std::move(word));
      argv.insert(argv.end(), {input, "-o", VariantOutput(out, v) + suffix});
      programs.push_back({label + " " + arguments.variants[v], std::move(argv)});
    };
    run(TORVIK_3DS2BMF, "3ds2bmf", ".bmf");
    if (!before.empty()) run(before, "3ds2bmf before", ".before.bmf");
  }
  if (!arguments.peers) return programs;
  if (std::string(PEER_LIB3DS).size() > 0)
    programs.push_back({"lib3ds", {PEER_LIB3DS, input, out + ".lib3ds"}});
  if (std::string(PEER_ASSIMP).size() > 0)
    programs.push_back({"assimp", {PEER_ASSIMP, input, out + ".assimp"}});
  return programs;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::BenchArguments arguments = bench::ParseBenchArguments(argc, argv, "torvik_e2e");
  const int reps = arguments.reps;
  const std::string& out_dir = arguments.out_dir;
  const std::vector<std::string>& inputs = arguments.inputs;
  // Everything that needs much memory runs in a child: a child started later
  // begins as a copy of this process, which its peak would include.
  const bench::ChildRun acos_run = bench::RunInChild(2, [](double* out) {
    const bench::AcosCost cost = bench::MeasureAcos();
    out[0] = cost.random_triangles_ns;
    out[1] = cost.grid_triangles_ns;
  });
  const bench::AcosCost acos{acos_run.values[0], acos_run.values[1]};
  std::printf(
      "glibc acos: %.1f ns a call on the corners of random triangles, %.1f ns on a "
      "square grid's (processor time)\n\n",
      acos.random_triangles_ns, acos.grid_triangles_ns);
  std::printf(
      "End to end, file to file, process start included; median of %d runs, the "
      "programs taking turns. cpu: user + system time of all threads. x ours: time (memory) over "
      "ours.\n\n",
      reps);
  std::printf(
      "| input | MB | program | ms | MB/s | cpu ms | peak MiB | time x ours | memory x ours |\n");
  std::printf("| --- | ---: | --- | ---: | ---: | ---: | ---: | ---: | ---: |\n");
  std::vector<std::string> floors;
  int failures = 0;
  for (const std::string& input : inputs) {
    const std::string name = std::filesystem::path(input).stem().string();
    const std::string out = (std::filesystem::path(out_dir) / (name + ".e2e")).string();
    std::vector<Program> programs = Programs(input, out, arguments);
    for (Program& program : programs)  // warm the caches
      bench::RunProcess(program.argv, program.stdout_path);
    for (int r = 0; r < reps; ++r) {
      for (Program& program : programs) {
        PrimeFreeMemory();
        const bench::ProcessRun run = bench::RunProcess(program.argv, program.stdout_path);
        if (run.exit_status != 0) {
          ++program.failures;
          continue;
        }
        program.seconds.push_back(run.seconds);
        program.cpu_seconds.push_back(run.cpu_seconds);
        program.peaks.push_back(static_cast<double>(run.peak_kib));
      }
    }
    const double size = bench::FileBytes(input);
    const double ours = bench::Median(programs[kOurs].seconds);
    const double ours_peak = bench::Median(programs[kOurs].peaks);
    for (const Program& program : programs) {
      if (program.failures > 0) {
        std::printf("| %s | %.1f | %s | failed %d of %d runs | | | | | |\n", name.c_str(),
                    size / 1e6, program.name.c_str(), program.failures, reps);
        if (program.name == "3ds2bmf") ++failures;
        continue;
      }
      const double seconds = bench::Median(program.seconds);
      const double peak = bench::Median(program.peaks);
      std::printf("| %s | %.1f | %s | %.1f | %.0f | %.1f | %.1f | %.2f | %.2f |\n", name.c_str(),
                  size / 1e6, program.name.c_str(), seconds * 1e3, size / 1e6 / seconds,
                  bench::Median(program.cpu_seconds) * 1e3, peak / 1024.0, seconds / ours,
                  peak / ours_peak);
    }
    // The floor's parts are single-threaded, so their processor time is what
    // their wall time would be on an idle machine.  One process start, not
    // the two of the cats.
    auto cpu = [&](int index) { return bench::Median(programs[index].cpu_seconds); };
    const double start = cpu(kStart);
    const double read = cpu(kCatInput) - start;
    const double write = cpu(kCopyOutput) - start;
    // The acos calls on this file's own corners: their cost depends on the
    // angles (a square grid's take half the time of random triangles').
    const bench::ChildRun corners = bench::RunInChild(2, [&](double* out) {
      const std::vector<double> arguments = bench::CornerArguments(torvik::ReadSceneFile(input));
      out[0] = static_cast<double>(arguments.size() / 3);
      out[1] = bench::AcosSeconds(arguments);
    });
    const double triangles = corners.values[0];
    const double acos_seconds = corners.values[1];
    const double one_core = start + read + write + acos_seconds;
    const double two_cores = start + read + write + acos_seconds / 2;
    char line[500];
    std::snprintf(line, sizeof line,
                  "%s: floor on one core %.1f ms (process start %.1f + reading the input %.1f + "
                  "writing the output %.1f + 3 x %.0f acos on its corners %.1f), on two cores %.1f "
                  "ms; 3ds2bmf "
                  "takes %.2fx the one-core floor and %.2fx the two-core floor in wall time, "
                  "%.2fx the one-core floor in processor time",
                  name.c_str(), one_core * 1e3, start * 1e3, read * 1e3, write * 1e3, triangles,
                  acos_seconds * 1e3, two_cores * 1e3, ours / one_core, ours / two_cores,
                  cpu(kOurs) / one_core);
    floors.push_back(line);
    for (const char* suffix : {".bmf", ".copy", ".one", ".before", ".lib3ds", ".assimp"})
      std::filesystem::remove(out + suffix);
    for (std::size_t v = 0; v < arguments.variants.size(); ++v)
      for (const char* suffix : {".bmf", ".glb", ".png", ".before.bmf", ".before.glb"})
        std::filesystem::remove(VariantOutput(out, v) + suffix);
  }
  std::printf("\n");
  for (const std::string& line : floors) std::printf("- %s\n", line.c_str());
  return failures == 0 ? 0 : 1;
}
