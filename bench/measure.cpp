#include "measure.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>

namespace bench {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double CpuNow() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

long PeakKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

ProcessRun RunProcess(const std::vector<std::string>& argv, const std::string& stdout_path) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  ProcessRun run;
  const double start = Now();
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    const int out = open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) dup2(out, 1);
    execv(args[0], args.data());
    std::perror(args[0]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  run.seconds = Now() - start;
  run.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  run.peak_kib = usage.ru_maxrss;
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

namespace detail {

ChildRun ForkAndCollect(std::size_t count, void (*body)(void*, double*), void* context) {
  ChildRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    close(fds[0]);
    std::vector<double> values(count, 0.0);
    int code = 0;
    try {
      body(context, values.data());
    } catch (const std::exception& error) {
      std::fprintf(stderr, "benchmark child: %s\n", error.what());
      code = 1;
    }
    const char* data = reinterpret_cast<const char*>(values.data());
    std::size_t left = values.size() * sizeof(double);
    while (code == 0 && left > 0) {
      const ssize_t written = write(fds[1], data, left);
      if (written <= 0) break;
      data += written;
      left -= static_cast<std::size_t>(written);
    }
    std::fflush(nullptr);
    _exit(code);
  }
  close(fds[1]);
  run.values.assign(count, 0.0);
  char* data = reinterpret_cast<char*>(run.values.data());
  std::size_t left = count * sizeof(double);
  while (left > 0) {
    const ssize_t got = read(fds[0], data, left);
    if (got <= 0) break;
    data += got;
    left -= static_cast<std::size_t>(got);
  }
  close(fds[0]);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  run.peak_kib = usage.ru_maxrss;
  run.ok = left == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

}  // namespace detail

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double FileBytes(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<double>(st.st_size) : 0.0;
}

std::string ExecutableDir() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : self.parent_path().string();
}

BenchArguments ParseBenchArguments(int argc, char** argv, const char* program) {
  BenchArguments arguments;
  arguments.out_dir = std::filesystem::temp_directory_path().string();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--reps" && i + 1 < argc)
      arguments.reps = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--out" && i + 1 < argc)
      arguments.out_dir = argv[++i];
    else if (arg == "--before" && i + 1 < argc)
      arguments.before = argv[++i];
    else if (arg == "--with" && i + 1 < argc)
      arguments.variants.push_back(argv[++i]);
    else if (arg == "--no-peers")
      arguments.peers = false;
    else
      arguments.inputs.push_back(arg);
  }
  if (arguments.inputs.empty()) {
    std::fprintf(stderr,
                 "usage: %s [--reps N] [--out DIR] [--before PROGRAM] [--with \"OPTIONS\"]... "
                 "[--no-peers] FILE.3ds...\n",
                 program);
    std::exit(2);
  }
  return arguments;
}

}  // namespace bench
