// The memory that one model's textures may take together, past which the
// next texture is left out with a message rather than loaded.  Every image
// decoded for a model takes its decoded pixels from the model's budget
// before it is decoded (DecodeImage with a budget); an image derived from
// others (a map composed of two) takes what it adds; and an export that
// keeps encoded bytes takes what they add beyond the pixels.
#pragma once

#include <cstdint>
#include <string>

namespace torvik::images {

// 512 MiB per model: room for two images of the largest size decoded with
// their alpha.
inline constexpr std::uint64_t kModelTextureBudget = std::uint64_t{512} << 20;

class TextureBudget {
 public:
  explicit TextureBudget(std::uint64_t limit = kModelTextureBudget) : limit_(limit) {}

  // Whether `bytes` fit in what is left.
  bool Fits(std::uint64_t bytes) const { return bytes <= limit_ - used_; }

  // Takes `bytes` from what is left; false, taking nothing, when they don't fit.
  bool Take(std::uint64_t bytes) {
    if (!Fits(bytes)) return false;
    used_ += bytes;
    return true;
  }

  // Takes `bytes`, or throws ImageError with Exceeded(), taking nothing.
  void Require(std::uint64_t bytes);

  // "the model's textures would take more than 512 MiB of memory".
  std::string Exceeded() const;

 private:
  std::uint64_t limit_, used_ = 0;
};

}  // namespace torvik::images
