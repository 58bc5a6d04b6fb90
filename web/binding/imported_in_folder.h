// A glTF or OBJ model converted in the module's file system as 3ds2bmf
// converts it by default: the BMF written beside the model under its stem,
// the images stored inside the model planned (and, for the glTF, written)
// beside it, so that the texture report, the warnings and the scene's glTF
// are those of 3ds2bmf.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "torvik32c/model_conversion.h"

// The format of the model in `bytes` (told by its content, as 3ds2bmf
// tells it); throws std::runtime_error with 3ds2bmf's words when the
// settings, or a name encoding given, can't convert a model of it.
torvik::ModelFormat CheckedFormat(std::span<const torvik::byte> bytes, const std::string& path,
                                  const torvik::ConversionSettings& settings,
                                  bool name_encoding_given);

// Where 3ds2bmf writes the BMF of `model_file` by default: beside it, under
// its stem (and never over the model itself).
std::filesystem::path BmfBeside(const std::filesystem::path& model_file);

// Converts `bytes` (a glTF or OBJ model at `model_file`) writing the BMF to
// a file beside it that is read back into the report and removed again.
// Throws as torvik::ConvertModel does.
torvik::ConversionReport ConvertImportedBeside(std::span<const torvik::byte> bytes,
                                               const std::filesystem::path& model_file,
                                               torvik::ConversionSettings settings,
                                               const torvik::StageCallback& stage = {});

// The images of `report` written beside the BMF where the conversion
// planned them, for the glTF to embed; returns the files written, for
// RemoveFiles.
std::vector<std::filesystem::path> WriteImagesBeside(const torvik::ConversionReport& report,
                                                     const std::filesystem::path& model_file);

void RemoveFiles(const std::vector<std::filesystem::path>& files);
