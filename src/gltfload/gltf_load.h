// A glTF loaded by tinygltf, with the reader's own file callbacks: buffers
// read through ImportOptions::files (the model's folder and below only),
// within what is left of the input budget; images kept as stored.  A binary
// glTF's BIN chunk is read where it lies in the input, not copied: tinygltf
// is given the JSON with that buffer, and the images in its buffer views,
// left out.
#pragma once

#include <span>
#include <vector>

#include "tinygltf_model.h"
#include "torvik32c/model_import.h"

namespace torvik::gltfload {

struct LoadedGltf {
  tinygltf::Model model;
  // The bytes of each buffer: the BIN chunk's within the input, the others
  // as tinygltf loaded them.  They live as long as the input and the model.
  std::vector<std::span<const unsigned char>> buffers;
  // The buffer view of each image stored in one, else -1.
  std::vector<int> image_views;
};

// Loads a binary glTF or a glTF's JSON (`binary` says which) after
// checking its container and its JSON (gltf_container.h).  Throws
// ImportError, the file hook's errors and Cancelled.
LoadedGltf LoadGltf(std::span<const byte> bytes, bool binary, const ImportOptions& options);

}  // namespace torvik::gltfload
