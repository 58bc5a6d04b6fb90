#include "options.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <stdexcept>

#include "command_line.h"
#include "convert_file.h"
#include "meshoptimizer_available.h"
#include "png_file.h"
#include "texture_choices.h"
#include "torvik32c/gltf_export.h"
#include "torvik32c/reports.h"

const char* const kUsage =
    "Usage: 3ds2bmf [options] INPUT...\n"
    "Converts 3D Studio mesh files (.3ds), glTF 2.0 (.glb, or .gltf with its\n"
    "buffers and images beside it or in data: URIs) and Wavefront OBJ files (.obj\n"
    "with its .mtl) into BMF model files.  Each input's format is told by its\n"
    "content (the 3DS main chunk, the 'glTF' magic, a JSON object with \"asset\",\n"
    "OBJ statements), its extension deciding only where the content tells nothing.\n"
    "\n"
    "Each INPUT.3ds (.glb, .gltf, .obj) is written as INPUT.bmf beside it, unless -o\n"
    "or -d says otherwise.  An INPUT of '-' reads standard input (with -o); a pipe or\n"
    "FIFO is read to the end its main chunk declares (no further than 6 bytes when\n"
    "it is no 3DS file), a binary glTF to the length its header declares, text to\n"
    "its end.\n"
    "A file that fails to convert leaves no output behind and an existing output intact\n"
    "(a preview or glTF that can't be written fails its file but leaves the BMF in\n"
    "place).\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE   write the BMF to FILE (only with a single input); '-'\n"
    "                      writes it to standard output.  A pipe, /dev/stdout or a\n"
    "                      device is written in place, never replaced\n"
    "  -d, --dir DIR       write every BMF into the directory DIR, which is created\n"
    "                      (with its parents) when missing\n"
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
    "                      its BMF (OUTPUT.png; the same picture as 'bmftool png';\n"
    "                      -o NAME.png is refused: -o names the BMF)\n"
    "      --gltf          also export each model as binary glTF 2.0 beside its BMF\n"
    "                      (OUTPUT.glb; -o NAME.glb is refused: -o names the BMF,\n"
    "                      and -o NAME.bmf writes NAME.glb), as authored whatever\n"
    "                      the BMF options: a node per object, one shared mesh per\n"
    "                      3DS mesh, the file's own winding, smoothing groups,\n"
    "                      two-sided materials and material names, with the\n"
    "                      file of every map found embedded; the\n"
    "                      keyframer's animation (one, named after the input), the\n"
    "                      cameras and the omni and spot lights.  Of a glTF or OBJ\n"
    "                      input, a plain copy of the scene as read: each mesh as\n"
    "                      drawn (instances copied), its materials and textures\n"
    "      --file-normals  keep the normals a glTF or OBJ file stores (hard edges\n"
    "                      as the artist split them): vertices that differ only in\n"
    "                      their normal stay apart.  By default they are one vertex\n"
    "                      and the converter computes the normals, as for a 3DS\n"
    "                      file, so that a model gives the same BMF in any format.\n"
    "                      A 3DS file stores no normals: refused for it\n"
    "      --fps N         the frames per second of the --gltf animation, 1 to 1000\n"
    "                      (default 30): frame f plays at f / N seconds\n"
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
    "      --keyframer     draw the model as its author saw it: every mesh where the\n"
    "                      keyframer places it at frame 0 (hierarchy, pivots), once\n"
    "                      per object node that names it (instances), in file order.\n"
    "                      By default meshes are drawn as stored in the mesh editor,\n"
    "                      and a warning says when the keyframer would draw more\n"
    "                      instances or move objects.  A damaged keyframer is ignored\n"
    "                      with a warning, and so is a track or pivot that is not a\n"
    "                      finite number\n"
    "      --max-placed-faces N\n"
    "                      the most faces, and the most vertices, that --keyframer\n"
    "                      may draw, 1 to 2000000000 (default 10000000): instances\n"
    "                      copy their mesh, so a few nodes naming a large mesh can\n"
    "                      ask for gigabytes.  A model past it fails, saying how\n"
    "                      many it would draw; its meshes as stored always pass\n"
    "      --as-authored   --keyframer --keep-file-winding --smoothing-groups\n"
    "                      (these four and --name-encoding read what only a 3DS\n"
    "                      file holds: a glTF or OBJ input given them fails)\n"
    "      --orient-outward\n"
    "                      reverse every mesh whose faces clearly face inward: its\n"
    "                      signed volume about its centroid is below -1/2 of the sum\n"
    "                      of its faces' absolute volumes.  Flat and ambiguous meshes\n"
    "                      stay as they are (a sky dome is meant to be seen from\n"
    "                      inside); after --keyframer when both are given; and in\n"
    "                      the --gltf export, each mesh as stored\n"
    "      --texture-path DIR\n"
    "                      also look for textures in DIR (repeatable), after the\n"
    "                      model's own folder; see 'Textures' below\n"
    "      --texture NAME=FILE\n"
    "                      use FILE for the texture name NAME (repeatable): NAME is\n"
    "                      the stored name, or its last component, in any case\n"
    "      --copy-textures copy every texture and map found beside the BMF, under\n"
    "                      the name the model stores (its last component), so a host\n"
    "                      opening that name finds it; a different file already\n"
    "                      there, a symbolic link and the run's own outputs are\n"
    "                      never replaced (a warning says so); of two models\n"
    "                      copying one name into one folder, the earlier input wins\n"
    "      --require-textures\n"
    "                      a texture that is not found, or found more than once,\n"
    "                      fails its file: no BMF is written\n"
    "      --no-textures   previews draw every block in its diffuse colour\n"
    "      --optimize      store each block's triangles in the order that suits a GPU:\n"
    "                      for its vertex cache, then against overdraw (meshoptimizer).\n"
    "                      The triangles, their windings, the vertex records and the\n"
    "                      blocks stay the same; 'bmftool info' measures the gain\n"
    "                      (ACMR, ATVR).  Builds without meshoptimizer refuse it\n"
    "      --name-encoding NAME\n"
    "                      read names that are not UTF-8 in the encoding NAME where\n"
    "                      they are written as text (see 'Names' below):\n"
    "                      Windows-1252 (the default), UTF-8, or any encoding that\n"
    "                      iconv knows (Shift_JIS, GBK, Big5, EUC-KR, CP1251, ...)\n"
    "                      but those of characters 2 or 4 bytes wide (UTF-16,\n"
    "                      UTF-32, ...): names are stored a byte at a time\n"
    "      --list          write nothing: print each model's textures as a\n"
    "                      conversion with the same options would find them, its\n"
    "                      materials' maps, and what its keyframer would change\n"
    "                      (with --json, one object per file); exit status 1 when a\n"
    "                      file can't be read, or with --require-textures when a\n"
    "                      texture is missing or ambiguous\n"
    "  -h, --help          show this help and exit\n"
    "      --version       show the version and exit\n"
    "\n"
    "Options take their value as '-o FILE', '-oFILE', '--output FILE' or\n"
    "'--output=FILE'; short flags combine ('-qj4'); '--' ends the options.\n"
    "\n"
    "Textures: each material's texture name is looked up, ignoring case, in the\n"
    "model's folder, then (when nothing is found there) in each --texture-path DIR\n"
    "in turn, by these rules in order: the stored name as a path ('\\' or '/', a\n"
    "drive letter dropped); its last component; that name in the subfolders\n"
    "MODEL_maps, maps, textures, texture, images and tex; 8.3 forms with the same\n"
    "extension (WINDOWFR.JPG for windowframe_oak.jpg, WINDOW~1.JPG); the same stem\n"
    "with another image extension.  The last two rules never take a PNG whose stem\n"
    "is the model's, an output's or a BMF's beside it (an earlier preview), and no\n"
    "rule takes a file this run writes.  A name that the first\n"
    "successful rule finds more than once is ambiguous: the first candidate is\n"
    "used, names that look like colour maps before alpha, opacity, mask, bump,\n"
    "normal, specular, gloss, roughness, height or displacement maps (any word\n"
    "of the stem); --texture decides a name.  -v counts the textures found,\n"
    "--json and --list list them, and each one missing or ambiguous is a warning.\n"
    "The BMF keeps every name as stored.  Previews and --gltf read JPEG, PNG, TGA,\n"
    "BMP and GIF, told by content, up to 64 megapixels, each file once and 512 MiB\n"
    "per model; a texture they can't use is a warning.\n"
    "\n"
    "Names: a 3DS file stores its object, instance, material and texture names in\n"
    "its author's Windows code page.  Where a name is written as text (--json,\n"
    "--list, warnings, the glTF) a name that is valid UTF-8 is kept as it is and\n"
    "any other is decoded by --name-encoding; the BMF keeps every name's bytes as\n"
    "stored.\n"
    "Messages show control characters, and bytes that are not UTF-8, in names and\n"
    "paths as \\xHH (\\u00HH for U+0080 to U+009F), so that a file can't take\n"
    "over the terminal; --json keeps the names themselves.\n"
    "\n"
    "A run of several files ends with a line on standard error (unless -q): the\n"
    "files converted and failed, the warnings and the time taken.\n"
    "\n"
    "glTF and OBJ: a glTF's default scene (else scene 0) is drawn, each mesh once\n"
    "per node that draws it (--max-placed-faces bounds the copies), its axes and\n"
    "winding turned into a 3DS file's; triangle strips and fans become triangles,\n"
    "points and lines are left out.  Materials: the base colour, alpha,\n"
    "doubleSided, KHR_materials_specular and the base colour texture (its\n"
    "KHR_texture_transform baked into the texture coordinates); OBJ's usemtl\n"
    "groups with Kd, Ka, Ks, d, Tr and map_Kd from the .mtl.  An image stored\n"
    "inside a glTF is written beside the BMF under its name (or MODEL_N.png|jpg),\n"
    "never over another file.  Buffers, images and .mtl files are read only from\n"
    "the input's folder and below it.\n"
    "\n"
    "Errors go to standard error as '3ds2bmf: PATH: reason' (with the chunk and\n"
    "byte offset of a damaged 3DS file, the JSON pointer of a glTF's fault, the\n"
    "line of an OBJ's).\n"
    "An output that is one of the inputs (by any name or link) is a usage error.\n"
    "Exit status: 0 when every file converted, 1 when any failed, 2 for a usage error,\n"
    "128 + the signal's number when interrupted (130 for Ctrl-C): no new file is\n"
    "started, files in flight stop, and no temporary file is left.\n";

namespace {

// Whether `path` ends in one of `extensions`, in any case.
bool HasExtension(const std::string& path, std::initializer_list<const char*> extensions) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::any_of(extensions.begin(), extensions.end(),
                     [&](const char* extension) { return lower.ends_with(extension); });
}

// -o names the BMF, and --gltf and --preview write beside it: an -o that
// names the glTF or the preview instead would get the BMF under that name
// and the file asked for under another (model.glb.glb).
void RefuseOutputNamedAsCompanion(const Options& options) {
  if (!options.output || *options.output == kStandardOutput) return;
  const std::string& output = *options.output;
  const auto refuse = [&](const char* option, const std::string& companion) {
    throw std::invalid_argument(
        "-o " + torvik::ShownText(output) + " names the BMF, and " + option +
        " writes beside it, so the BMF would take the name " + torvik::ShownText(output) +
        " and the file of " + option + " the name " + torvik::ShownText(companion) +
        ": give the BMF's name (-o NAME.bmf) and " + option + " writes NAME" +
        companion.substr(companion.find_last_of('.')) + " beside it");
  };
  if (options.gltf && HasExtension(output, {".glb", ".gltf"})) refuse("--gltf", GltfPath(output));
  if (options.preview && HasExtension(output, {".png"})) refuse("--preview", PreviewPath(output));
}

}  // namespace

std::string UsageText() {
  std::string missing;
  if (!PngAvailable()) missing += "  --preview     no PNG writer (libpng or stb)\n";
  if (!torvik::GltfAvailable()) missing += "  --gltf        no nlohmann-json\n";
  if (!kHaveMeshOptimizer) missing += "  --optimize    no meshoptimizer\n";
  if (!torvik::NameEncodingsByIconv())
    missing += "  --name-encoding  other than Windows-1252 and UTF-8: no iconv\n";
  if (missing.empty()) return kUsage;
  return kUsage + ("\nThis build refuses, for want of a library when it was built:\n" + missing);
}

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
  app.add_flag("--gltf", options.gltf);
  app.add_flag("--smoothing-groups", options.smoothing_groups);
  app.add_flag("--file-normals", options.file_normals);
  app.add_flag("--keep-file-winding", options.keep_file_winding);
  app.add_flag("--keyframer", options.keyframer);
  app.add_option("--max-placed-faces", options.max_placed_faces)
      ->check(WholeNumberFrom(1, 2'000'000'000));
  bool as_authored = false;
  app.add_flag("--as-authored", as_authored);
  app.add_flag("--orient-outward", options.orient_outward);
  app.add_option("--fps", options.fps)->check(WholeNumberFrom(1, 1000));
  std::vector<std::string> texture_paths;
  bool no_textures = false;
  app.add_option("--texture-path", texture_paths)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  std::vector<std::string> texture_choices;
  app.add_option("--texture", texture_choices)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  std::string name_encoding;
  CLI::Option* name_encoding_option = app.add_option("--name-encoding", name_encoding);
  app.add_flag("--list", options.list);
  app.add_flag("--copy-textures", options.copy_textures);
  app.add_flag("--require-textures", options.require_textures);
  app.add_flag("--no-textures", no_textures);
  app.add_flag("--optimize", options.optimize);
  app.add_flag("-h,--help", options.help);
  app.add_flag("--version", options.version);
  app.add_option("inputs", options.inputs);
  ParseCommandLine(app, args);

  if (Given(output_option)) options.output = output;
  if (Given(directory_option)) options.directory = directory;
  if (Given(jobs_option)) options.jobs = jobs;
  if (Given(threads_option)) options.threads = threads;
  options.texture_paths.assign(texture_paths.begin(), texture_paths.end());
  options.textures = !no_textures;
  if (as_authored) options.keyframer = options.keep_file_winding = options.smoothing_groups = true;
  if (options.help || options.version) return options;
  options.texture_choices = ParseTextureChoices(texture_choices);
  if (Given(name_encoding_option)) {
    options.names = torvik::NameDecoderFor(name_encoding);
    options.name_encoding_given = true;
  }
  if (options.inputs.empty()) throw std::invalid_argument("no input files");
  if (options.output && options.directory)
    throw std::invalid_argument("-o and -d exclude each other");
  if (options.output && options.inputs.size() != 1)
    throw std::invalid_argument("-o takes a single input file");
  if (!options.output && std::count(options.inputs.begin(), options.inputs.end(), "-") != 0)
    throw std::invalid_argument("the input - (standard input) needs -o FILE");
  if (options.preview && !PngAvailable())
    throw std::invalid_argument("--preview is not available: this build writes no PNG files");
  if (options.gltf && !torvik::GltfAvailable())
    throw std::invalid_argument("--gltf is not available: this build writes no glTF files");
  if (options.optimize && !kHaveMeshOptimizer)
    throw std::invalid_argument(std::string("--optimize is not available: ") + kNoMeshOptimizer);
  if (options.quiet && options.verbose)
    throw std::invalid_argument("-q (--quiet) and -v (--verbose) exclude each other");
  RefuseOutputNamedAsCompanion(options);
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
    if (extension == ".3ds" || extension == ".glb" || extension == ".gltf" || extension == ".obj")
      base.resize(dot);
  }
  base += ".bmf";
  if (!options.directory) return base;
  std::string dir = *options.directory;
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  return dir + base;
}
