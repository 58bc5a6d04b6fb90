// bmftool: shows, checks and exports BMF model files.
#include <cstdio>
#include <stdexcept>

#include "arguments.h"
#include "commands.h"
#include "interruption.h"
#include "texture_folders.h"
#include "torvik32c/errors.h"
#include "torvik32c/name_text.h"

#ifndef TORVIK_VERSION
#define TORVIK_VERSION "unknown"
#endif

namespace {

int Run(const Arguments& arguments) {
  try {
    switch (arguments.command) {
      case Command::info:
        return RunInfo(arguments);
      case Command::validate:
        return RunValidate(arguments);
      case Command::obj:
        return RunObj(arguments);
      case Command::gltf:
        return RunGltf(arguments);
      case Command::png:
        return RunPng(arguments);
      case Command::none:
        break;
    }
  } catch (const torvik::Cancelled&) {  // a texture search stopped by a signal
    return InterruptedExitStatus();
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments arguments;
  try {
    arguments = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& error) {
    // The message may quote the command line (CLI11 words it).
    std::fprintf(stderr, "bmftool: %s\nTry 'bmftool --help' for more information.\n",
                 torvik::ShownText(error.what()).c_str());
    return 2;
  }
  if (arguments.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (arguments.version) {
    std::printf("bmftool %s\n", TORVIK_VERSION);
    return 0;
  }
  if (const std::string refusal = CheckOutputs(arguments); !refusal.empty()) {
    std::fprintf(stderr, "bmftool: %s\n", refusal.c_str());
    return 2;
  }
  for (const std::string& warning : TextureFolderWarnings(arguments.texture_paths))
    std::fprintf(stderr, "bmftool: %s\n", warning.c_str());
  CatchInterruptions();
  const int status = Run(arguments);
  return Interrupted() ? InterruptedExitStatus() : status;
}
