#include "texture_budget.h"

namespace torvik::images {

std::string TextureBudget::Exceeded() const {
  return "the model's textures would take more than " + std::to_string(limit_ >> 20) +
         " MiB of memory";
}

}  // namespace torvik::images
