// torvik_import_e2e: a model arriving as glTF.  Each FILE.3ds is first
// exported as FILE.glb (3ds2bmf --gltf, not timed), then these take turns
// within every repetition (each starting with the next), file to file,
// process start included:
// 3ds2bmf converting the .glb, 3ds2bmf converting the .3ds, and, when it
// was built, Assimp reading the .glb with the post-processing the Assimp
// peer gives every file (joined vertices, smooth normals, triangulation).
// The table gives medians and the ratios; the last lines say whether the
// .glb converts at least 3 times faster than Assimp reads it and no slower
// than the .3ds converts (exit status 1 when not).
//
//   torvik_import_e2e [--reps N] [--out DIR] FILE.3ds...
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "measure.h"

namespace {

struct Timed {
  std::string name;
  std::vector<std::string> argv;
  std::vector<double> seconds, cpu_seconds, peaks;
  int failures = 0;
};

// How much faster than Assimp the .glb converts, at least; and how much
// slower than the .3ds, at most.
constexpr double kFasterThanAssimp = 3.0;
constexpr double kSlowerThan3ds = 1.0;

}  // namespace

int main(int argc, char** argv) {
  const bench::BenchArguments arguments =
      bench::ParseBenchArguments(argc, argv, "torvik_import_e2e");
  std::printf(
      "A model as glTF: 3ds2bmf on the .glb its own --gltf wrote, beside 3ds2bmf on the .3ds "
      "and Assimp reading the .glb; file to file, process start included, median of %d runs, "
      "the programs taking turns, each repetition starting with the next.\n\n",
      arguments.reps);
  std::printf("| input | glb MB | program | ms | cpu ms | peak MiB | time x glb |\n");
  std::printf("| --- | ---: | --- | ---: | ---: | ---: | ---: |\n");
  std::vector<std::string> verdicts;
  bool held = true;
  for (const std::string& input : arguments.inputs) {
    const std::string name = std::filesystem::path(input).stem().string();
    const std::string out = (std::filesystem::path(arguments.out_dir) / name).string();
    if (bench::RunProcess({TORVIK_3DS2BMF, "-q", "--gltf", input, "-o", out + ".first.bmf"},
                          "/dev/null")
            .exit_status != 0) {
      std::fprintf(stderr, "torvik_import_e2e: %s: 3ds2bmf --gltf failed\n", input.c_str());
      return 1;
    }
    const std::string glb = out + ".first.glb";
    std::vector<Timed> programs = {
        {"3ds2bmf FILE.glb", {TORVIK_3DS2BMF, "-q", glb, "-o", out + ".glb.bmf"}, {}, {}, {}, 0},
        {"3ds2bmf FILE.3ds", {TORVIK_3DS2BMF, "-q", input, "-o", out + ".3ds.bmf"}, {}, {}, {}, 0}};
    if (std::string(PEER_ASSIMP).size() > 0)
      programs.push_back({"assimp FILE.glb", {PEER_ASSIMP, glb, out + ".assimp"}, {}, {}, {}, 0});
    for (Timed& program : programs) bench::RunProcess(program.argv, "/dev/null");  // warm up
    // Each repetition starts with the next program, so that none always
    // runs right after the same other (a program that frees much memory
    // leaves the next one pages the machine must hand out afresh).
    for (int r = 0; r < arguments.reps; ++r)
      for (std::size_t k = 0; k < programs.size(); ++k) {
        Timed& program = programs[(static_cast<std::size_t>(r) + k) % programs.size()];
        const bench::ProcessRun run = bench::RunProcess(program.argv, "/dev/null");
        if (run.exit_status != 0) {
          ++program.failures;
          continue;
        }
        program.seconds.push_back(run.seconds);
        program.cpu_seconds.push_back(run.cpu_seconds);
        program.peaks.push_back(static_cast<double>(run.peak_kib));
      }
    const double size = bench::FileBytes(glb);
    for (const Timed& program : programs)
      if (program.failures > 0 || program.seconds.empty()) {
        std::printf("| %s | %.1f | %s | failed %d of %d runs | | | |\n", name.c_str(), size / 1e6,
                    program.name.c_str(), program.failures, arguments.reps);
        held = false;
      }
    if (!held) continue;
    const double ours = bench::Median(programs[0].seconds);
    for (const Timed& program : programs) {
      const double seconds = bench::Median(program.seconds);
      std::printf("| %s | %.1f | %s | %.1f | %.1f | %.1f | %.2f |\n", name.c_str(), size / 1e6,
                  program.name.c_str(), seconds * 1e3, bench::Median(program.cpu_seconds) * 1e3,
                  bench::Median(program.peaks) / 1024.0, seconds / ours);
    }
    const double three_ds = bench::Median(programs[1].seconds);
    char line[300];
    std::snprintf(line, sizeof line,
                  "%s: the .glb converts in %.2fx the time of the .3ds (at most %.2fx)",
                  name.c_str(), ours / three_ds, kSlowerThan3ds);
    verdicts.push_back(line);
    held = held && ours <= three_ds * kSlowerThan3ds;
    if (programs.size() > 2) {
      const double assimp = bench::Median(programs[2].seconds);
      std::snprintf(line, sizeof line,
                    "%s: Assimp takes %.2fx the time 3ds2bmf takes for the .glb (at least %.1fx)",
                    name.c_str(), assimp / ours, kFasterThanAssimp);
      verdicts.push_back(line);
      held = held && assimp >= ours * kFasterThanAssimp;
    }
    for (const char* suffix : {".first.bmf", ".first.glb", ".glb.bmf", ".3ds.bmf", ".assimp"})
      std::filesystem::remove(out + suffix);
  }
  std::printf("\n");
  for (const std::string& verdict : verdicts) std::printf("- %s\n", verdict.c_str());
  return held ? 0 : 1;
}
