// The conversion driver: read a 3DS file and convert it into a model.
#pragma once

#include <string>

#include "torvik32c/3dsload.h"

namespace torvik {

enum class ParseResult {
  ok,
  read_failed,    // the message is "Failed to open %s", "Failed to parse %s", ...
  out_of_memory,  // memory ran out while converting the scene
};

// Reads `filename` and converts it into `model`.  On failure `message`
// receives the driver's message and the model is left empty.
ParseResult parse3ds(const std::string& filename, Model& model, std::string& message,
                     ConversionStats* stats = nullptr);

}  // namespace torvik
