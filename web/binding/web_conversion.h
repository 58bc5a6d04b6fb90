// A conversion as the web page runs it.  The page lays the dropped model and
// its texture files out in the module's in-memory file system as the user
// had them (subfolders kept), so the texture resolver's rules apply
// unchanged: case, subfolders, 8.3 names, other extensions.  The files a
// glTF or OBJ names beside it (buffers, images, its .mtl) come as the page
// gave them, by their paths relative to the model's folder.
#pragma once

#include <functional>
#include <string>

#include "torvik32c/model_conversion.h"

// What 3ds2bmf would report for the file, and the BMF it would write.
struct WebConversion {
  bool ok = false;
  std::string error;                // what 3ds2bmf prints after "3ds2bmf: PATH: "
  torvik::ConversionReport report;  // empty when !ok
  double milliseconds = 0;
};

// How the page's request differs from 3ds2bmf's defaults beyond the
// settings: the files beside a glTF or OBJ (made only for one: a 3DS file's
// textures are found in the file system), and whether a name encoding was
// asked for (refused, as 3ds2bmf refuses it, for a model that stores no
// 3DS names).
struct WebInputs {
  std::function<torvik::FileReader()> files;
  bool name_encoding_given = false;
};

// The settings' files: those of `inputs`, for a model of `format` other
// than 3DS.
void GiveFiles(torvik::ModelFormat format, const WebInputs& inputs,
               torvik::ConversionSettings& settings);

// Converts the model file at `path` (3DS, glTF or OBJ, told by its content)
// with one thread, as 3ds2bmf --threads 1 does (torvik::ConvertModel),
// resolving its textures beside it.  A glTF's images stored inside are
// planned beside the BMF as 3ds2bmf plans them (so its report and warnings
// are the same) and returned in the report.  Never throws.
WebConversion ConvertModelFile(const std::string& path, torvik::ConversionSettings settings,
                               const WebInputs& inputs, const torvik::StageCallback& stage);
