#include "gltf_load.h"

#include <exception>

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

// tinygltf's first line of errors.
std::string FirstLine(const std::string& text) {
  const std::size_t end = text.find('\n');
  return ShownText(text.substr(0, end));
}

}  // namespace

tinygltf::Model LoadGltf(std::span<const byte> bytes, bool binary, const ImportOptions& options) {
  if (bytes.size() > kMaxModelBytes)
    throw ImportError(kGltf, "", "more than " + std::to_string(kMaxModelBytes) + " bytes");
  PrecheckJson(binary ? BinaryGltfJson(bytes) : bytes);
  FileContext context{&options, kMaxModelBytes - bytes.size(), nullptr};
  tinygltf::TinyGLTF loader;
  loader.SetFsCallbacks({&Exists, &Expanded, &ReadWhole, &WriteWhole, &context});
  loader.SetImageLoader(&KeepImage, nullptr);
  loader.SetPreserveImageChannels(true);
  tinygltf::Model model;
  std::string error, warning;
  bool loaded = false;
  try {
    const auto size = static_cast<unsigned int>(bytes.size());
    if (binary)
      loaded = loader.LoadBinaryFromMemory(&model, &error, &warning, bytes.data(), size, "");
    else
      loaded = loader.LoadASCIIFromString(&model, &error, &warning,
                                          reinterpret_cast<const char*>(bytes.data()), size, "");
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& thrown) {
    if (!context.failure)
      throw ImportError(kGltf, "", std::string("tinygltf failed: ") + ShownText(thrown.what()));
  }
  if (context.failure) std::rethrow_exception(context.failure);
  if (!loaded) throw ImportError(kGltf, "", FirstLine(error.empty() ? "not read" : error));
  return model;
}

}  // namespace torvik::gltfload
