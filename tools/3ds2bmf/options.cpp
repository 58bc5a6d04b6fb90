#include "options.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

const char* const kUsage =
    "Usage: 3ds2bmf [options] INPUT.3ds...\n"
    "Converts 3D Studio mesh files (.3ds) into BMF model files.\n"
    "\n"
    "Each INPUT.3ds is written as INPUT.bmf beside it, unless -o or -d says otherwise.\n"
    "A file that fails to convert leaves no output behind and an existing output intact\n"
    "(a preview that can't be written fails its file but leaves the BMF in place).\n"
    "\n"
    "Options:\n"
    "  -o FILE     write the BMF to FILE (only with a single input)\n"
    "  -d DIR      write every BMF into the directory DIR\n"
    "  -j N        convert N files at once (default: the number of cores)\n"
    "  -q          quiet: print nothing but errors\n"
    "  -v          print a one-line summary per file (blocks, vertices, triangles,\n"
    "              degenerate triangles dropped, default material, time)\n"
    "  --json      print one JSON object per file on standard output\n"
    "  --preview   also render each converted model into a PNG image beside its BMF\n"
    "              (OUTPUT.png; the same picture as 'bmftool png')\n"
    "  --smoothing-groups\n"
    "              keep hard edges where the model's smoothing groups say so: a\n"
    "              vertex is smoothed only over faces that share a group with it,\n"
    "              and written once per distinct normal (default: every vertex is\n"
    "              smoothed over all its faces)\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Errors go to standard error as '3ds2bmf: PATH: reason'.\n"
    "Exit status: 0 when every file converted, 1 when any failed, 2 for a usage error.\n";

namespace {

std::size_t ParseJobs(const std::string& text) {
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
    throw std::invalid_argument("-j needs a positive whole number, not '" + text + "'");
  const unsigned long value = std::stoul(text.size() > 6 ? std::string("1000000") : text);
  if (value == 0)
    throw std::invalid_argument("-j needs a positive whole number, not '" + text + "'");
  return std::min<unsigned long>(value, 256);
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool only_inputs = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const std::string& flag) -> std::string {
      if (i + 1 >= args.size()) throw std::invalid_argument(flag + " needs a value");
      return args[++i];
    };
    if (only_inputs || arg.empty() || arg[0] != '-' || arg == "-") {
      options.inputs.push_back(arg);
    } else if (arg == "--") {
      only_inputs = true;
    } else if (arg == "-o") {
      options.output = value(arg);
    } else if (arg == "-d") {
      options.directory = value(arg);
    } else if (arg == "-j") {
      options.jobs = ParseJobs(value(arg));
    } else if (arg.rfind("-j", 0) == 0 && arg.size() > 2) {
      options.jobs = ParseJobs(arg.substr(2));
    } else if (arg == "-q" || arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "-v" || arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--preview") {
      options.preview = true;
    } else if (arg == "--smoothing-groups") {
      options.smoothing_groups = true;
    } else if (arg == "--texture-path") {
      options.texture_paths.emplace_back(value(arg));
    } else if (arg == "--copy-textures") {
      options.copy_textures = true;
    } else if (arg == "--require-textures") {
      options.require_textures = true;
    } else if (arg == "--no-textures") {
      options.textures = false;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else {
      throw std::invalid_argument("unknown option '" + arg + "'");
    }
  }
  if (options.help || options.version) return options;
  if (options.inputs.empty()) throw std::invalid_argument("no input files");
  if (options.output && options.directory)
    throw std::invalid_argument("-o and -d exclude each other");
  if (options.output && options.inputs.size() != 1)
    throw std::invalid_argument("-o takes a single input file");
  return options;
}

std::string OutputPath(const Options& options, const std::string& input) {
  if (options.output) return *options.output;
  std::string base = input;
  if (options.directory) {
    const std::size_t slash = input.find_last_of("/\\");
    base = input.substr(slash == std::string::npos ? 0 : slash + 1);
  }
  const std::size_t dot = base.find_last_of('.');
  const std::size_t slash = base.find_last_of("/\\");
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    std::string extension = base.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".3ds") base.resize(dot);
  }
  base += ".bmf";
  if (!options.directory) return base;
  std::string dir = *options.directory;
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  return dir + base;
}
