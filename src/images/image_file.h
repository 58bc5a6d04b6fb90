// Image files as the tools read them: whole, up to a size, each known by
// the file it is rather than by the name it was found under.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace torvik::images {

// No image file is larger: a 64-megapixel BMP of 32 bits per pixel takes
// 256 MiB.
inline constexpr std::uintmax_t kMaxImageFileBytes = std::uintmax_t{512} << 20;

// The bytes of the file.  Throws ImageError saying why when it can't be
// read or is larger than kMaxImageFileBytes.
std::vector<std::uint8_t> ReadImageFile(const std::filesystem::path& path);

// One name for every path of one file: the path with links and "." and ".."
// resolved as far as it exists.  Names that reach a file through different
// cases or links give the same key.
std::filesystem::path ImageFileKey(const std::filesystem::path& path);

}  // namespace torvik::images
