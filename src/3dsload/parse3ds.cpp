#include "parse3ds.h"

#include <utility>

namespace torvik {

std::optional<StageError> parse3ds(const std::string& filename, Model& model) {
  H3dsScene scene;
  if (std::optional<Error> error = Attempt([&] { scene = ReadSceneFile(filename); }))
    return StageError{Stage::read, std::move(*error)};
  if (std::optional<Error> error = Attempt([&] { model = convert_to_outgl(std::move(scene)); })) {
    model.FreeData();
    return StageError{Stage::convert, std::move(*error)};
  }
  return std::nullopt;
}

}  // namespace torvik
