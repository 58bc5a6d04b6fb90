#include "gltf_load.h"

#include <exception>
#include <optional>

#include "gltf_container.h"
#include "torvik32c/name_text.h"

namespace torvik::gltfload {

namespace {

// What the file callbacks share: the hook, what is left of the budget, and
// the first failure, rethrown once tinygltf has given up.
struct FileContext {
  const ImportOptions* options = nullptr;
  std::uint64_t left = 0;
  std::exception_ptr failure;
};

std::string Expanded(const std::string& path, void*) { return path; }

// tinygltf asks before it reads; a reference that leaves the model's folder
// (or names nothing) exists for it, so that the read says why it fails.
bool Exists(const std::string&, void*) { return true; }

bool ReadWhole(std::vector<unsigned char>* out, std::string* error, const std::string& path,
               void* user) {
  auto& context = *static_cast<FileContext*>(user);
  try {
    const std::string relative = CheckedRelativePath(path, false);
    if (relative.empty())
      throw ImportError(
          kGltf, "",
          "the buffer \"" + ShownText(path) + "\" is not a path within the model's folder");
    if (!context.options->files)
      throw ImportError(kGltf, "",
                        "the buffer \"" + ShownText(path) +
                            "\" is a file, and none can be read beside this model");
    StopIfCancelled(context.options->cancel);
    std::vector<byte> bytes = context.options->files(relative, context.left);
    context.left -= std::min<std::uint64_t>(bytes.size(), context.left);
    out->assign(bytes.begin(), bytes.end());
    return true;
  } catch (...) {
    if (!context.failure) context.failure = std::current_exception();
    if (error != nullptr) *error = "not read";
    return false;
  }
}

bool WriteWhole(std::string*, const std::string&, const std::vector<unsigned char>&, void*) {
  return false;
}

// Images stay as stored: those of data: URIs are kept here, those of
// buffer views are read by the reader once it has checked them.
bool KeepImage(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
               const unsigned char* bytes, int size, void*) {
  if (image->bufferView < 0 && size > 0) image->image.assign(bytes, bytes + size);
  return true;
}

// A binary glTF's buffer 0 without a URI is its BIN chunk, read where it
// lies: in the JSON given to tinygltf it becomes a buffer of one byte, and
// the images in buffer views become images of a URI that is not read (their
// views are kept in `image_views`).  Returns the BIN chunk's bytes of buffer
// 0, or nothing for a .gltf or a binary glTF whose buffer 0 has a URI.
// Only buffer 0 may lack a URI.
std::optional<std::span<const byte>> InPlaceBin(nlohmann::json& json,
                                                const std::optional<BinaryGltf>& chunks,
                                                std::vector<int>& image_views) {
  const auto buffers = json.find("buffers");
  if (buffers == json.end() || !buffers->is_array()) return std::nullopt;
  for (std::size_t i = 0; i < buffers->size(); ++i) {
    const nlohmann::json& buffer = (*buffers)[i];
    if (buffer.is_object() && !buffer.contains("uri") && (i > 0 || !chunks))
      throw ImportError(kGltf, "/buffers/" + std::to_string(i),
                        chunks ? "has no uri: only buffer 0 may be the BIN chunk"
                               : "has no uri, which a .gltf's buffers need");
  }
  if (!chunks || buffers->empty() || !(*buffers)[0].is_object() || (*buffers)[0].contains("uri"))
    return std::nullopt;
  nlohmann::json& buffer = (*buffers)[0];
  if (!chunks->bin) throw ImportError(kGltf, "/buffers/0", "has no uri, and the file no BIN chunk");
  const auto length = buffer.find("byteLength");
  if (length == buffer.end() || !length->is_number_unsigned())
    throw ImportError(kGltf, "/buffers/0/byteLength", "is missing or not a whole number");
  const std::uint64_t size = length->get<std::uint64_t>();
  if (size > chunks->bin->size())
    throw ImportError(kGltf, "/buffers/0/byteLength",
                      "is " + std::to_string(size) + ", more than the " +
                          std::to_string(chunks->bin->size()) + " bytes of the BIN chunk");
  buffer = {{"byteLength", 1}, {"uri", "data:application/octet-stream;base64,AA=="}};
  const auto images = json.find("images");
  if (images != json.end() && images->is_array())
    for (nlohmann::json& image : *images) {
      image_views.push_back(-1);
      const auto view = image.is_object() ? image.find("bufferView") : image.end();
      if (image.is_object() && view != image.end()) {
        image_views.back() = view->get<int>();  // checked by PrecheckJson
        image.erase("bufferView");
        image["uri"] = "stored-in-a-buffer-view";
      }
    }
  return chunks->bin->first(static_cast<std::size_t>(size));
}

// tinygltf's first line of errors.
std::string FirstLine(const std::string& text) {
  const std::size_t end = text.find('\n');
  return ShownText(text.substr(0, end));
}

}  // namespace

LoadedGltf LoadGltf(std::span<const byte> bytes, bool binary, const ImportOptions& options) {
  if (bytes.size() > kMaxModelBytes)
    throw ImportError(kGltf, "", "more than " + std::to_string(kMaxModelBytes) + " bytes");
  const std::optional<BinaryGltf> chunks =
      binary ? std::optional<BinaryGltf>(BinaryGltfChunks(bytes)) : std::nullopt;
  nlohmann::json json = PrecheckJson(chunks ? chunks->json : bytes);
  LoadedGltf loaded;
  const std::optional<std::span<const byte>> bin = InPlaceBin(json, chunks, loaded.image_views);
  // With the BIN chunk left out, tinygltf reads the JSON as it would a
  // .gltf's; the JSON parsed, so it prints again.
  std::string rewritten;
  if (bin) rewritten = json.dump();
  json = nullptr;
  const std::span<const byte> text =
      bin ? std::span<const byte>(reinterpret_cast<const byte*>(rewritten.data()), rewritten.size())
          : bytes;

  FileContext context{&options, kMaxModelBytes - bytes.size(), nullptr};
  tinygltf::TinyGLTF loader;
  loader.SetFsCallbacks({&Exists, &Expanded, &ReadWhole, &WriteWhole, &context});
  loader.SetImageLoader(&KeepImage, nullptr);
  loader.SetPreserveImageChannels(true);
  std::string error, warning;
  bool ok = false;
  try {
    const auto size = static_cast<unsigned int>(text.size());
    if (binary && !bin)
      ok = loader.LoadBinaryFromMemory(&loaded.model, &error, &warning, text.data(), size, "");
    else
      ok = loader.LoadASCIIFromString(&loaded.model, &error, &warning,
                                      reinterpret_cast<const char*>(text.data()), size, "");
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& thrown) {
    if (!context.failure)
      throw ImportError(kGltf, "", std::string("tinygltf failed: ") + ShownText(thrown.what()));
  }
  if (context.failure) std::rethrow_exception(context.failure);
  if (!ok) throw ImportError(kGltf, "", FirstLine(error.empty() ? "not read" : error));
  for (std::size_t i = 0; i < loaded.model.buffers.size(); ++i)
    loaded.buffers.push_back(
        i == 0 && bin ? *bin : std::span<const unsigned char>(loaded.model.buffers[i].data));
  loaded.image_views.resize(loaded.model.images.size(), -1);
  if (!bin)
    for (std::size_t i = 0; i < loaded.model.images.size(); ++i)
      loaded.image_views[i] = loaded.model.images[i].bufferView;
  return loaded;
}

}  // namespace torvik::gltfload
