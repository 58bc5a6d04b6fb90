#include "arguments.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

const char* const kUsage =
    "Usage: bmftool COMMAND [options] FILE.bmf...\n"
    "Shows, checks and exports BMF model files.\n"
    "\n"
    "Commands:\n"
    "  info FILE.bmf...      per file the number of blocks; per block the texture name,\n"
    "                        the colours with alpha, V and T, the bounding box and\n"
    "                        whether the vertex normals are unit length\n"
    "      --json            one JSON object per file on standard output\n"
    "  validate FILE.bmf...  checks every rule of the BMF layout and prints each\n"
    "                        violation with its byte offset\n"
    "      --all             print every violation (default: the first 20 per file)\n"
    "  obj FILE.bmf...       writes a Wavefront OBJ and its MTL beside each file\n"
    "                        (one material per block)\n"
    "      -o OUT.obj        the OBJ to write (only with a single file); the MTL goes\n"
    "                        beside it as OUT.mtl\n"
    "  png FILE.bmf...       renders a preview image beside each file\n"
    "      -o OUT.png        the image to write (only with a single file)\n"
    "      --size N          width and height in pixels (default 512, 16 to 8192)\n"
    "      --yaw DEG         turns the camera around the model's up axis; positive\n"
    "                        looks from the right (default 30)\n"
    "      --pitch DEG       raises the camera; positive looks from above (default 25)\n"
    "\n"
    "  -h, --help            show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "The preview fits the model to the frame and lights each block's diffuse colour\n"
    "with the stored vertex normals.  Back faces (triangles whose winding turns away\n"
    "from the camera) are striped red, so flipped windings stand out.\n"
    "Errors go to standard error as 'bmftool: PATH: reason'.\n"
    "Exit status: 0 on success, 1 when a file is unreadable or invalid (or could not\n"
    "be written), 2 for a usage error.\n";

namespace {

Command ParseCommand(const std::string& word) {
  if (word == "info") return Command::info;
  if (word == "validate") return Command::validate;
  if (word == "obj") return Command::obj;
  if (word == "png") return Command::png;
  throw std::invalid_argument("unknown command '" + word + "'");
}

double ParseNumber(const std::string& flag, const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end || !std::isfinite(value))
    throw std::invalid_argument(flag + " needs a number, not '" + text + "'");
  return value;
}

int ParseSize(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end || value < 16 || value > 8192)
    throw std::invalid_argument("--size needs a whole number from 16 to 8192, not '" + text + "'");
  return value;
}

// Which command an option belongs to, for "--json is an option of info".
void Require(const Arguments& arguments, Command command, const std::string& flag,
             const char* name) {
  if (arguments.command != command)
    throw std::invalid_argument(flag + " is an option of '" + name + "' only");
}

}  // namespace

Arguments ParseArguments(const std::vector<std::string>& args) {
  Arguments arguments;
  bool only_files = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw std::invalid_argument(arg + " needs a value");
      return args[++i];
    };
    const bool is_option = !only_files && arg.size() > 1 && arg[0] == '-';
    if (!is_option && arguments.command == Command::none && !arguments.help && !arguments.version) {
      arguments.command = ParseCommand(arg);
    } else if (!is_option) {
      arguments.files.push_back(arg);
    } else if (arg == "--") {
      only_files = true;
    } else if (arg == "-h" || arg == "--help") {
      arguments.help = true;
    } else if (arg == "--version") {
      arguments.version = true;
    } else if (arg == "--json") {
      Require(arguments, Command::info, arg, "info");
      arguments.json = true;
    } else if (arg == "--all") {
      Require(arguments, Command::validate, arg, "validate");
      arguments.all = true;
    } else if (arg == "-o") {
      if (arguments.command != Command::obj && arguments.command != Command::png)
        throw std::invalid_argument("-o is an option of 'obj' and 'png' only");
      arguments.output = value();
    } else if (arg == "--size") {
      Require(arguments, Command::png, arg, "png");
      arguments.preview.size = ParseSize(value());
    } else if (arg == "--yaw") {
      Require(arguments, Command::png, arg, "png");
      arguments.preview.yaw_degrees = ParseNumber(arg, value());
    } else if (arg == "--no-textures") {
      Require(arguments, Command::png, arg, "png");
      arguments.textures = false;
    } else if (arg == "--texture-path") {
      arguments.texture_paths.emplace_back(value());
    } else if (arg == "--pitch") {
      Require(arguments, Command::png, arg, "png");
      arguments.preview.pitch_degrees = ParseNumber(arg, value());
    } else {
      throw std::invalid_argument("unknown option '" + arg + "'");
    }
  }
  if (arguments.help || arguments.version) return arguments;
  if (arguments.command == Command::none) throw std::invalid_argument("no command given");
  if (arguments.files.empty()) throw std::invalid_argument("no input files");
  if (arguments.output && arguments.files.size() != 1)
    throw std::invalid_argument("-o takes a single input file");
  return arguments;
}
