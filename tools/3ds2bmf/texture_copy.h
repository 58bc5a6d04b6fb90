// --copy-textures: a found texture copied beside the BMF under the name the
// model stores, so that a host opening that name beside the BMF finds it.
#pragma once

#include <filesystem>
#include <string>

#include "torvik32c/texture_resolver.h"

struct TextureCopy {
  bool copied = false;  // the file is now beside the BMF under the stored name
  std::string problem;  // why not, for a warning; empty when copied or not found
};

// Copies the texture's pick into `folder` under the last component of its
// stored name, exactly as written.  A file already there with the same bytes
// (or the texture itself) is left alone and counts as copied; one with other
// bytes is never overwritten.  The copy is written to a temporary file and
// renamed into place, so no half-written texture is ever seen.  Safe to call
// from several threads.
TextureCopy CopyTexture(const torvik::TextureResolution& texture,
                        const std::filesystem::path& folder);
