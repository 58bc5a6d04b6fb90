#include "parse3ds.h"

#include <new>
#include <utility>

#include "torvik32c/errors.h"

namespace torvik {

namespace {

std::string ReadFailureMessage(IoError::Kind kind, const std::string& filename) {
  switch (kind) {
    case IoError::Kind::open_source:
      return "Failed to open " + filename;
    case IoError::Kind::seek_source:
      return "Error seeking " + filename;
    case IoError::Kind::size_source:
      return "Error sizing " + filename;
    default:
      return "Failed to parse " + filename;
  }
}

}  // namespace

ParseResult parse3ds(const std::string& filename, Model& model, std::string& message,
                     ConversionStats* stats) {
  H3dsScene scene;
  try {
    scene = ReadSceneFile(filename);
  } catch (const IoError& error) {
    message = ReadFailureMessage(error.kind, filename);
    return ParseResult::read_failed;
  } catch (const std::exception&) {
    // A damaged file, or memory exhausted while reading it.
    message = "Failed to parse " + filename;
    return ParseResult::read_failed;
  }
  try {
    model = convert_to_outgl(std::move(scene), stats);
  } catch (const std::bad_alloc&) {
    model.FreeData();
    message = "Out of memory converting " + filename;
    return ParseResult::out_of_memory;
  }
  return ParseResult::ok;
}

}  // namespace torvik
