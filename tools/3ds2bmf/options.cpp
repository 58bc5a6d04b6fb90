#include "options.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "command_line.h"

const char* const kUsage =
    "Usage: 3ds2bmf [options] INPUT.3ds...\n"
    "Converts 3D Studio mesh files (.3ds) into BMF model files.\n"
    "\n"
    "Each INPUT.3ds is written as INPUT.bmf beside it, unless -o or -d says otherwise.\n"
    "A file that fails to convert leaves no output behind and an existing output intact\n"
    "(a preview that can't be written fails its file but leaves the BMF in place).\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE   write the BMF to FILE (only with a single input)\n"
    "  -d, --dir DIR       write every BMF into the directory DIR\n"
    "  -j, --jobs N        convert N files at once, 1 to 256 (default: the cores)\n"
    "      --threads N     let each conversion use up to N threads, 1 to 256\n"
    "                      (default: the cores shared out between the files\n"
    "                      converted at once, at least one each)\n"
    "  -q, --quiet         print nothing but errors\n"
    "  -v, --verbose       print a one-line summary per file (blocks, vertices,\n"
    "                      triangles, degenerate triangles dropped, default\n"
    "                      material, time); -q and -v exclude each other\n"
    "      --json          print one JSON object per file on standard output\n"
    "      --preview       also render each converted model into a PNG image beside\n"
    "                      its BMF (OUTPUT.png; the same picture as 'bmftool png')\n"
    "      --smoothing-groups\n"
    "                      keep hard edges where the model's smoothing groups say so:\n"
    "                      a vertex is smoothed only over faces that share a group\n"
    "                      with it, and written once per distinct normal (default:\n"
    "                      every vertex is smoothed over all its faces)\n"
    "      --keep-file-winding\n"
    "                      keep every face's corners in the order the file stores\n"
    "                      them.  By default the last two corners of a face whose\n"
    "                      flag word is 7 are exchanged, as hosts of the converter\n"
    "                      expect; but 7 is the usual value for 'all edges visible'\n"
    "                      (82% of real faces), and of the real meshes tried, 83%\n"
    "                      face outwards as stored but 58% after the exchange:\n"
    "                      the rest come out inside out (dark, striped previews)\n"
    "  -h, --help          show this help and exit\n"
    "      --version       show the version and exit\n"
    "\n"
    "Options take their value as '-o FILE', '-oFILE', '--output FILE' or\n"
    "'--output=FILE'; short flags combine ('-qj4'); '--' ends the options.\n"
    "\n"
    "Errors go to standard error as '3ds2bmf: PATH: reason'.\n"
    "Exit status: 0 when every file converted, 1 when any failed, 2 for a usage error.\n";

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  CLI::App app;
  PrepareApp(app);
  std::string output, directory;
  std::size_t jobs = 0;
  CLI::Option* output_option = app.add_option("-o,--output", output);
  CLI::Option* directory_option = app.add_option("-d,--dir", directory);
  CLI::Option* jobs_option = app.add_option("-j,--jobs", jobs)->check(WholeNumberFrom(1, 256));
  std::size_t threads = 0;
  CLI::Option* threads_option =
      app.add_option("--threads", threads)->check(WholeNumberFrom(1, 256));
  app.add_flag("-q,--quiet", options.quiet);
  app.add_flag("-v,--verbose", options.verbose);
  app.add_flag("--json", options.json);
  app.add_flag("--preview", options.preview);
  app.add_flag("--smoothing-groups", options.smoothing_groups);
  app.add_flag("--keep-file-winding", options.keep_file_winding);
  app.add_flag("-h,--help", options.help);
  app.add_flag("--version", options.version);
  app.add_option("inputs", options.inputs);
  ParseCommandLine(app, args);

  if (Given(output_option)) options.output = output;
  if (Given(directory_option)) options.directory = directory;
  if (Given(jobs_option)) options.jobs = jobs;
  if (Given(threads_option)) options.threads = threads;
  if (options.help || options.version) return options;
  if (options.inputs.empty()) throw std::invalid_argument("no input files");
  if (options.output && options.directory)
    throw std::invalid_argument("-o and -d exclude each other");
  if (options.output && options.inputs.size() != 1)
    throw std::invalid_argument("-o takes a single input file");
  if (options.quiet && options.verbose)
    throw std::invalid_argument("-q (--quiet) and -v (--verbose) exclude each other");
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
