// A glTF loaded by tinygltf, with the reader's own file callbacks: buffers
// read through ImportOptions::files (the model's folder and below only),
// within what is left of the input budget; images kept as stored.
#pragma once

#include <span>

#include "tinygltf_model.h"
#include "torvik32c/model_import.h"

namespace torvik::gltfload {

// Loads a binary glTF or a glTF's JSON (`binary` says which) after
// checking its container and its JSON (gltf_container.h).  Throws
// ImportError, the file hook's errors and Cancelled.
tinygltf::Model LoadGltf(std::span<const byte> bytes, bool binary, const ImportOptions& options);

}  // namespace torvik::gltfload
