#include "arguments.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <stdexcept>

#include "command_line.h"
#include "meshoptimizer_available.h"
#include "png_file.h"
#include "texture_choices.h"
#include "torvik32c/gltf_export.h"
#include "torvik32c/reports.h"

const char* const kUsage =
    "Usage: bmftool COMMAND [options] FILE.bmf...\n"
    "Shows, checks and exports BMF model files.\n"
    "\n"
    "Commands:\n"
    "  info FILE.bmf...      per file the number of blocks; per block the texture name\n"
    "                        and the file it was found in, the colours with alpha,\n"
    "                        V and T, the bounding box and whether the vertex\n"
    "                        normals are unit length; per file and per block how\n"
    "                        well the triangle order suits a GPU's 16-entry vertex\n"
    "                        cache: ACMR (vertices transformed per triangle, 0.5 to\n"
    "                        3) and ATVR (per vertex, 1 at best)\n"
    "      --json            one JSON object per file on standard output\n"
    "      --overdraw        also the overdraw: pixels shaded per pixel covered,\n"
    "                        seen along the three axes (1 at best)\n"
    "  validate FILE.bmf...  checks every rule of the BMF layout and prints each\n"
    "                        violation with its byte offset\n"
    "      --all             print every violation (default: the first 20 per file)\n"
    "      --json            one JSON object per file on standard output, with\n"
    "                        every violation: its offset, rule and description\n"
    "  obj FILE.bmf...       writes a Wavefront OBJ and its MTL beside each file\n"
    "                        (one material per block; map_Kd names the texture file\n"
    "                        found, relative to the OBJ, else the stored name)\n"
    "      -o, --output OUT.obj\n"
    "                        the OBJ to write (only with a single file); the MTL goes\n"
    "                        beside it as OUT.mtl\n"
    "      --keep-axes       positions, normals and corner order as BMF stores them\n"
    "                        (a mirror image in right-handed viewers)\n"
    "  gltf FILE.bmf...      writes each model as binary glTF 2.0 (FILE.glb) beside\n"
    "                        it, with the textures found as for png embedded; a BMF\n"
    "                        keeps one mesh by material: for named objects, shared\n"
    "                        instances, two-sided materials and the file's own\n"
    "                        winding, use '3ds2bmf --gltf' on the 3DS file\n"
    "      -o, --output OUT.glb|OUT.gltf\n"
    "                        the file to write (only with a single file); a name\n"
    "                        ending in .gltf writes JSON and its data as OUT.bin\n"
    "  png FILE.bmf...       renders a preview image beside each file\n"
    "      -o, --output OUT.png\n"
    "                        the image to write (only with a single file)\n"
    "      --size N          width and height in pixels (default 512, 16 to 8192)\n"
    "      --yaw DEG         turns the camera around the model's up axis; positive\n"
    "                        looks from the right (default 30; taken modulo 360)\n"
    "      --pitch DEG       raises the camera; positive looks from above (default 25;\n"
    "                        taken modulo 360, then held within -89 to 89)\n"
    "      --no-textures     draw every block in its diffuse colour\n"
    "\n"
    "  --texture-path DIR    info, obj, gltf, png: also look for textures in DIR\n"
    "                        (repeatable) after the BMF's own folder\n"
    "  --texture NAME=FILE   info, obj, gltf, png: use FILE for the texture name NAME\n"
    "                        (repeatable): the stored name, or its last component,\n"
    "                        in any case\n"
    "  --name-encoding NAME  info, obj, gltf, png: read texture names that are not\n"
    "                        UTF-8 in the encoding NAME where they are written as\n"
    "                        text: Windows-1252 (the default), UTF-8, or any\n"
    "                        encoding iconv knows (Shift_JIS, GBK, ...); valid UTF-8\n"
    "                        is kept as it is.  Messages show control characters,\n"
    "                        and bytes that are not UTF-8, in names and paths as\n"
    "                        \\xHH (\\u00HH for U+0080 to U+009F)\n"
    "  -h, --help            show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Options may stand before or after the command and the files, as '-o FILE',\n"
    "'--output FILE' or '--output=FILE'; '--' ends the options.  A FILE of '-'\n"
    "reads standard input (obj, gltf and png then need -o); a pipe or FIFO is read\n"
    "to the end of its last block (the bytes after it counted, not kept).\n"
    "\n"
    "OBJ and glTF show the model as authored, right-handed with y up: a 3DS point\n"
    "(x, y, z) is at (x, z, -y).  Their opacity is 1 - alpha for a BMF alpha between\n"
    "0 and 1, else 1 (BMF's alpha is the 3DS transparency, 0 when there is none).\n"
    "The preview fits the model to the frame and lights each block's diffuse colour,\n"
    "or its texture, with the stored vertex normals.  Textures are found the way\n"
    "3ds2bmf finds them (see '3ds2bmf --help'); one that is missing or can't be\n"
    "decoded (JPEG, PNG, TGA, BMP, GIF told by content, up to 64 megapixels, each\n"
    "file once, 512 MiB per model) is drawn in the block's diffuse colour, with a\n"
    "warning.  Back faces (triangles whose winding turns away\n"
    "from the camera) are striped red, so flipped windings stand out.\n"
    "Errors go to standard error as 'bmftool: PATH: reason'.\n"
    "Exit status: 0 on success, 1 when a file is unreadable or invalid (or could not\n"
    "be written), 2 for a usage error (an output that is one of the inputs among\n"
    "them), 128 + the signal's number when interrupted.\n";

std::string UsageText() {
  std::string missing;
  if (!PngAvailable()) missing += "  png           no PNG writer (libpng or stb)\n";
  if (!torvik::GltfAvailable()) missing += "  gltf          no nlohmann-json\n";
  if (!kHaveMeshOptimizer)
    missing += "  --overdraw    no meshoptimizer ('info' leaves out ACMR and ATVR too)\n";
  if (!torvik::NameEncodingsByIconv())
    missing += "  --name-encoding  other than Windows-1252 and UTF-8: no iconv\n";
  if (missing.empty()) return kUsage;
  return kUsage + ("\nThis build refuses, for want of a library when it was built:\n" + missing);
}

namespace {

Command ParseCommand(const std::string& word) {
  if (word == "info") return Command::info;
  if (word == "validate") return Command::validate;
  if (word == "obj") return Command::obj;
  if (word == "gltf") return Command::gltf;
  if (word == "png") return Command::png;
  throw std::invalid_argument("unknown command '" + word + "'");
}

// An option that belongs to some commands only: "--json is an option of 'info' only".
void Require(const Arguments& arguments, const CLI::Option* option,
             std::initializer_list<Command> commands, const char* names) {
  if (!Given(option)) return;
  for (Command command : commands)
    if (arguments.command == command) return;
  throw std::invalid_argument(option->get_name() + " is an option of " + names + " only");
}

}  // namespace

Arguments ParseArguments(const std::vector<std::string>& args) {
  Arguments arguments;
  CLI::App app;
  PrepareApp(app);
  std::string output;
  std::vector<std::string> operands;
  CLI::Option* output_option = app.add_option("-o,--output", output);
  CLI::Option* json = app.add_flag("--json", arguments.json);
  CLI::Option* overdraw = app.add_flag("--overdraw", arguments.overdraw);
  CLI::Option* all = app.add_flag("--all", arguments.all);
  CLI::Option* keep_axes = app.add_flag("--keep-axes", arguments.keep_axes);
  CLI::Option* size =
      app.add_option("--size", arguments.preview.size)->check(WholeNumberFrom(16, 8192));
  CLI::Option* yaw = app.add_option("--yaw", arguments.preview.yaw_degrees)->check(FiniteNumber());
  CLI::Option* pitch =
      app.add_option("--pitch", arguments.preview.pitch_degrees)->check(FiniteNumber());
  std::vector<std::string> texture_paths;
  bool no_textures = false;
  CLI::Option* texture_path = app.add_option("--texture-path", texture_paths)
                                  ->allow_extra_args(false)
                                  ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  std::vector<std::string> texture_choices;
  CLI::Option* texture_choice = app.add_option("--texture", texture_choices)
                                    ->allow_extra_args(false)
                                    ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  CLI::Option* no_textures_option = app.add_flag("--no-textures", no_textures);
  std::string name_encoding;
  CLI::Option* name_encoding_option = app.add_option("--name-encoding", name_encoding);
  app.add_flag("-h,--help", arguments.help);
  app.add_flag("--version", arguments.version);
  app.add_option("operands", operands);
  ParseCommandLine(app, args);

  if (arguments.help || arguments.version) return arguments;
  if (operands.empty()) throw std::invalid_argument("no command given");
  arguments.command = ParseCommand(operands.front());
  arguments.files.assign(operands.begin() + 1, operands.end());
  if (Given(output_option)) arguments.output = output;
  arguments.texture_paths.assign(texture_paths.begin(), texture_paths.end());
  arguments.textures = !no_textures;
  // Angles are taken modulo 360, so any finite value draws a picture.
  arguments.preview.yaw_degrees = std::fmod(arguments.preview.yaw_degrees, 360.0);
  arguments.preview.pitch_degrees = std::fmod(arguments.preview.pitch_degrees, 360.0);

  if (arguments.command == Command::png && !PngAvailable())
    throw std::invalid_argument("'png' is not available: this build writes no PNG files");
  if (arguments.command == Command::gltf && !torvik::GltfAvailable())
    throw std::invalid_argument("'gltf' is not available: this build writes no glTF files");
  Require(arguments, json, {Command::info, Command::validate}, "'info' and 'validate'");
  Require(arguments, overdraw, {Command::info}, "'info'");
  if (arguments.overdraw && !kHaveMeshOptimizer)
    throw std::invalid_argument(std::string("--overdraw is not available: ") + kNoMeshOptimizer);
  Require(arguments, all, {Command::validate}, "'validate'");
  Require(arguments, keep_axes, {Command::obj}, "'obj'");
  Require(arguments, output_option, {Command::obj, Command::gltf, Command::png},
          "'obj', 'gltf' and 'png'");
  for (const CLI::Option* option : {texture_path, texture_choice, name_encoding_option})
    Require(arguments, option, {Command::info, Command::obj, Command::gltf, Command::png},
            "'info', 'obj', 'gltf' and 'png'");
  for (const CLI::Option* option : {size, yaw, pitch, no_textures_option})
    Require(arguments, option, {Command::png}, "'png'");
  if (arguments.files.empty()) throw std::invalid_argument("no input files");
  arguments.texture_choices = ParseTextureChoices(texture_choices);
  if (Given(name_encoding_option)) arguments.names = torvik::NameDecoderFor(name_encoding);
  if (arguments.output && arguments.files.size() != 1)
    throw std::invalid_argument("-o takes a single input file");
  const bool writes = arguments.command == Command::obj || arguments.command == Command::gltf ||
                      arguments.command == Command::png;
  if (writes && !arguments.output &&
      std::count(arguments.files.begin(), arguments.files.end(), "-") != 0)
    throw std::invalid_argument("the input - (standard input) needs -o FILE");
  return arguments;
}
