// Models that arrive in other formats than 3DS (glTF 2.0, Wavefront OBJ):
// what their readers share.  Each reader turns its input into the scene
// records of the 3DS reader (H3dsScene), which the conversion turns into a
// model as it does a 3DS file's, so that normals, blocks and the writer are
// the same code.  Part of torvik_import, which the readers (torvik_gltfload,
// torvik_objload) link.
//
// The readers take bytes and give a scene; the files a model names beside
// it (a glTF's buffers and images, an OBJ's material library) come through
// a FileReader hook, so that a front end without a file system (the web
// page) can hand over the files it was given.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/errors.h"
#include "torvik32c/types.h"

namespace torvik {

class SceneMeshStream;

enum class ModelFormat {
  three_ds,     // a 3D Studio file
  gltf_binary,  // a binary glTF (.glb)
  gltf_text,    // a glTF's JSON (.gltf)
  obj,          // a Wavefront OBJ file
};

// "3DS", "glTF", "OBJ".
const char* ModelFormatName(ModelFormat format);

// The format of the model whose first bytes are `head` (a few KiB are
// enough), told by content: the 3DS main chunk, the binary glTF's magic
// "glTF", a JSON object that has "asset", OBJ statements.  Where the content
// tells nothing, the extension of `file_name` decides (.glb, .gltf, .obj),
// and anything else is taken for 3DS, whose reader then says what is wrong.
ModelFormat DetectModelFormat(std::span<const byte> head, std::string_view file_name = {});

// How far a stream (standard input, a pipe) of a model is read: a 3DS
// stream as ThreeDsStreamContent says, a binary glTF to the length its
// header declares, text to its end.
StreamContent ModelStreamContent();

// Reads a file that a model names beside it: `path` is relative to the
// model's folder, its components separated by '/', none of them "." or
// ".." (CheckedRelativePath made it so).  Returns its bytes; throws Error
// (cannot_open, read_failed, too_large) when it is missing, unreadable or
// larger than `most_bytes`.
using FileReader =
    std::function<std::vector<byte>(const std::string& path, std::uint64_t most_bytes)>;

// The files in `folder` and below it.  A symbolic link that leads out of the
// folder is not followed.
FileReader FolderFiles(const std::filesystem::path& folder);

// The files a caller hands over by their paths relative to the model's
// folder ("maps/wood.png"; '\' taken for '/'), for a front end without
// files of its own.  Throws std::invalid_argument for a path that leaves
// the folder (CheckedRelativePath refuses it).
FileReader GivenFiles(std::map<std::string, std::vector<byte>> files);

// The files in the folder of `model_file`, or none for an empty name
// (standard input).
FileReader FilesBeside(const std::string& model_file);

// A reference to a file beside the model (a URI, or a path in an OBJ
// statement) as a path relative to the model's folder: percent escapes
// decoded (`decode_percent`), '\' taken for '/', "." components dropped.
// An absolute path, a drive letter, a URI with a scheme, a ".." component,
// an empty one or a control character make it refused: returns an empty
// string.
std::string CheckedRelativePath(std::string_view reference, bool decode_percent);

// A damaged or unreadable model in another format than 3DS: `where` says
// where (a JSON pointer such as "/meshes/3/primitives/0/attributes/POSITION",
// "line 12" of an OBJ file, "byte 20" of a binary glTF), and the message
// begins with the format and it: "glTF /accessors/4: ...".
class ImportError : public Error {
 public:
  ImportError(const char* format, const std::string& where, const std::string& problem)
      : Error(Kind::damaged_file,
              std::string(format) + (where.empty() ? "" : " " + where) + ": " + problem),
        where(where) {}
  std::string where;
};

// The scene's nodes would draw more faces (or vertices) than allowed:
// instances copy their mesh.  Nothing was drawn.
class InstancesTooLarge : public Error {
 public:
  InstancesTooLarge(const char* counted, std::uint64_t count, std::uint64_t limit)
      : Error(Kind::too_large, std::string("the scene's nodes would draw ") +
                                   std::to_string(count) + " " + counted + ", more than the " +
                                   std::to_string(limit) + " allowed"),
        counted(counted),
        count(count),
        limit(limit) {}
  const char* counted;
  std::uint64_t count;
  std::uint64_t limit;
};

// An image stored inside the model (a binary glTF's buffer, a data: URI),
// which a BMF can only name by file: the material's texture name names it,
// and whoever writes the BMF writes the image beside it as `file_name`.
struct EmbeddedImage {
  std::string texture_name;  // as the materials' texture name holds it
  std::string file_name;     // a plain file name: no folder, no control character
  std::vector<byte> bytes;   // as stored (PNG or JPEG for a glTF)
};

// What a reader gives: the scene, each mesh placed where the model draws
// it, in the 3DS file's axes (z up) and winding, so that the conversion
// turns it into the model a 3DS file of the same meshes gives.
struct ImportedScene {
  H3dsScene scene;
  // With ImportOptions::file_normals, the normals the model stores, one per
  // vertex of each mesh, in the scene's axes; an empty list (and every list
  // without that option) leaves the mesh's normals to the conversion.
  std::vector<std::vector<H3dsVert>> normals;
  std::vector<EmbeddedImage> images;
  std::vector<std::string> warnings;  // names shown as ShownText shows them
  // The instances drawn beyond the first of each mesh, for reports.
  std::size_t instances = 0;
  // With ImportOptions::stream_meshes, the meshes that a reader makes as
  // the conversion takes them (none are then in `scene`), or none.  It
  // reads the model's bytes, which must outlive it.
  std::shared_ptr<SceneMeshStream> meshes;
};

struct ImportOptions {
  // Keep the normals the model stores (hard edges as the artist split
  // them): vertices that differ only in their normal stay apart.  By default
  // they are one vertex and the conversion computes the normals, as for a
  // 3DS file.
  bool file_normals = false;
  // The most faces, and vertices, that the scene's instances may draw.
  std::uint64_t max_placed_faces = kDefaultMaxPlacedFaces;
  // The files beside the model; none: a model that names one fails.
  FileReader files = {};
  // The model's file name, whose stem names the images stored inside it
  // that have no name of their own ("<stem>_<index>.png").
  std::string model_name = {};
  // Raised by another thread: the reading stops with Cancelled.
  const std::atomic<bool>* cancel = nullptr;
  // The most threads that draw a glTF's meshes at once (0: the machine's
  // cores).  The scene is the same for any number.
  std::size_t threads = 0;
  // A glTF whose meshes each fit one scene mesh gives them through
  // ImportedScene::meshes, drawn while ConvertImportedScene converts them,
  // unless the normals stored are kept.
  bool stream_meshes = false;
};

// The most bytes a model and the files it names may take together: the
// most that is read of any input.
inline constexpr std::uint64_t kMaxModelBytes = 0x7FFFFFFF;

// Converts an imported scene as convert_to_outgl converts a 3DS scene, then
// gives the vertices the normals the scene carries (ImportedScene::normals;
// a normal that is not finite keeps the computed one).  A mesh that
// OrientOutward reverses gets its carried normals reversed too.
Model ConvertImportedScene(ImportedScene&& imported, ConversionStats* stats = nullptr,
                           const ConvertOptions& options = {});

}  // namespace torvik
