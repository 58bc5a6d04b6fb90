// The memory that one model's textures may take together, past which the
// next texture is left out with a message rather than loaded.
#pragma once

#include <cstdint>
#include <string>

namespace torvik::images {

// Decoded pixels for a preview, or embedded bytes for a glTF file: 512 MiB
// per model, room for two images of the largest size with their alpha.
inline constexpr std::uint64_t kModelTextureBudget = std::uint64_t{512} << 20;

class TextureBudget {
 public:
  explicit TextureBudget(std::uint64_t limit = kModelTextureBudget) : limit_(limit) {}

  // Takes `bytes` from what is left; false, taking nothing, when they don't fit.
  bool Take(std::uint64_t bytes) {
    if (bytes > limit_ - used_) return false;
    used_ += bytes;
    return true;
  }

  // "the model's textures would take more than 512 MiB of memory".
  std::string Exceeded() const;

 private:
  std::uint64_t limit_, used_ = 0;
};

}  // namespace torvik::images
