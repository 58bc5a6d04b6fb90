// The model an input holds, its format told by its content: a 3DS file
// read by the 3DS reader, a glTF or OBJ file by theirs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "convert_file.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/model_import.h"

struct InputModel {
  torvik::ModelFormat format = torvik::ModelFormat::three_ds;
  torvik::H3dsScene scene;                        // a 3DS file's, as the settings read it
  std::optional<torvik::ImportedScene> imported;  // a glTF or OBJ file's
  std::vector<torvik::byte> bytes;                // the input's bytes, when asked to keep them
};

// The format of `input`, from its first bytes (a regular file) or from
// `bytes` (a stream, read already).
torvik::ModelFormat InputFormat(const std::string& input);

// Why the settings can't convert a model of `format`: the options that
// read what only a 3DS file has (--keyframer, --smoothing-groups,
// --keep-file-winding, --name-encoding) on a glTF or OBJ file, and
// --file-normals on a 3DS file, which stores none.  Empty when they can.
std::string RefusedOptions(torvik::ModelFormat format, const FileSettings& settings);

// Reads `input` as its format says (a 3DS file as ReadSceneInput reads it);
// `model_name` names the model where the input is standard input.  Keeps
// the input's bytes with `keep_bytes`.  Throws std::runtime_error for
// options the format refuses, and as the readers do.
InputModel ReadInputModel(const std::string& input, const std::string& model_name,
                          const FileSettings& settings, bool keep_bytes);
