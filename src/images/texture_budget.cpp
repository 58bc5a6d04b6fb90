#include "texture_budget.h"

#include "image_format.h"

namespace torvik::images {

void TextureBudget::Require(std::uint64_t bytes) {
  if (!Take(bytes)) throw ImageError(Exceeded());
}

std::string TextureBudget::Exceeded() const {
  const bool whole_mib = limit_ % (std::uint64_t{1} << 20) == 0;
  return "the model's textures would take more than " +
         (whole_mib ? std::to_string(limit_ >> 20) + " MiB" : std::to_string(limit_) + " bytes") +
         " of memory";
}

}  // namespace torvik::images
