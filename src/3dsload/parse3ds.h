// The conversion driver: read a 3DS file and convert it into a model.
#pragma once

#include <optional>
#include <string>

#include "torvik32c/3dsload.h"
#include "torvik32c/errors.h"

namespace torvik {

// Runs `work`, returning what it threw as an Error: a std::bad_alloc becomes
// out_of_memory with an empty message, any other exception write_failed.
template <class Work>
std::optional<Error> Attempt(Work&& work) {
  try {
    work();
    return std::nullopt;
  } catch (const Error& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return Error(Error::Kind::out_of_memory, "");
  } catch (const std::exception& error) {
    return Error(Error::Kind::write_failed, error.what());
  }
}

// Where a conversion failed.
enum class Stage { read, convert, write };

struct StageError {
  Stage stage;
  Error error;
};

// Reads `filename` and converts it into `model`.  On failure the model is
// left empty.
std::optional<StageError> parse3ds(const std::string& filename, Model& model);

}  // namespace torvik
