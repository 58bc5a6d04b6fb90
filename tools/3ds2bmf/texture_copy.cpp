#include "texture_copy.h"

#include <exception>
#include <fstream>
#include <mutex>
#include <system_error>

#include "json_string.h"
#include "torvik32c/bmf.h"
#include "torvik32c/file_bytes.h"

namespace fs = std::filesystem;

namespace {

// Two conversions writing the same name into one folder take turns, so the
// second sees the first one's copy.
std::mutex copy_mutex;

// The stored name's last component: '\' and '/' both separate, and a drive
// letter goes.
std::string LastComponent(const std::string& stored) {
  std::string last = stored.substr(stored.find_last_of("\\/") + 1);
  if (last.size() > 2 && last[1] == ':') last.erase(0, 2);
  return last == "." || last == ".." ? std::string() : last;
}

bool SameBytes(const fs::path& a, const fs::path& b) {
  std::error_code error;
  const auto size = fs::file_size(a, error);
  if (error || size != fs::file_size(b, error) || error) return false;
  std::ifstream in_a(a, std::ios::binary), in_b(b, std::ios::binary);
  char block_a[65536], block_b[65536];
  while (in_a && in_b) {
    in_a.read(block_a, sizeof block_a);
    in_b.read(block_b, sizeof block_b);
    if (in_a.gcount() != in_b.gcount() || !std::equal(block_a, block_a + in_a.gcount(), block_b))
      return false;
  }
  return in_a.eof() && in_b.eof();
}

}  // namespace

TextureCopy CopyTexture(const torvik::TextureResolution& texture, const fs::path& folder) {
  TextureCopy result;
  if (!texture.found()) return result;
  const std::string name = "texture " + JsonString(texture.name);
  const std::string last = LastComponent(texture.name);
  if (last.empty()) {
    result.problem = name + " names no file to copy to";
    return result;
  }
  const fs::path dest = folder / last;
  std::lock_guard<std::mutex> lock(copy_mutex);
  std::error_code error;
  if (fs::exists(fs::symlink_status(dest, error))) {
    if (fs::equivalent(*texture.path, dest, error) || SameBytes(*texture.path, dest)) {
      result.copied = true;
    } else {
      result.problem =
          name + ": " + dest.string() + " already exists with other contents: not overwritten";
    }
    return result;
  }
  try {
    torvik::WriteFileReplacing(dest.string(), torvik::ReadFileBytes(texture.path->string()));
  } catch (const std::exception& failure) {
    result.problem = name + ": can't copy " + texture.path->string() + " to " + dest.string() +
                     ": " + failure.what();
    return result;
  }
  result.copied = true;
  return result;
}
