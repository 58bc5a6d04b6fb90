// A glTF or OBJ file read as a conversion reads it: with the settings'
// normals, placement budget, files beside it and cancellation.
#pragma once

#include <filesystem>
#include <span>

#include "torvik32c/model_conversion.h"
#include "torvik32c/model_import.h"

namespace torvik {

// Reads the model of `format` (not 3DS) in `bytes`.  `model_file` is where
// it lies: its folder holds the files it names, unless the settings give
// their own.  With `stream_meshes` the meshes may come as they are
// converted (ImportOptions::stream_meshes; the bytes must outlive them).
// Throws as the readers do.
ImportedScene ReadImportedModel(std::span<const byte> bytes, ModelFormat format,
                                const std::filesystem::path& model_file,
                                const ConversionSettings& settings, bool stream_meshes = false);

// Throws RefusedSettingsError when the settings can't convert a model of
// `format` (RefusedSettings).
void CheckSettingsFor(ModelFormat format, const ConversionSettings& settings);

}  // namespace torvik
