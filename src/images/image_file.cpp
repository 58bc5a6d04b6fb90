#include "image_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

#include "image_format.h"

namespace torvik::images {

std::vector<std::uint8_t> ReadImageFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ImageError(std::string("can't open: ") + std::strerror(errno));
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) throw ImageError("can't tell the file's size");
  if (static_cast<std::uintmax_t>(size) > kMaxImageFileBytes)
    throw ImageError("file of " + std::to_string(size) + " bytes is larger than " +
                     std::to_string(kMaxImageFileBytes >> 20) + " MiB: not read");
  in.seekg(0);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size) || in.gcount() != size)
    throw ImageError("error reading");
  return bytes;
}

std::filesystem::path ImageFileKey(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path key = std::filesystem::weakly_canonical(path, error);
  if (error) key = std::filesystem::absolute(path, error).lexically_normal();
  if (error) key = path.lexically_normal();
  return key;
}

}  // namespace torvik::images
