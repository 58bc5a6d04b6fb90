// --copy-textures: a found texture copied beside the BMF under the name the
// model stores, so that a host opening that name beside the BMF finds it.
#pragma once

#include <filesystem>
#include <string>

#include "batch_copies.h"
#include "torvik32c/model_import.h"
#include "torvik32c/name_text.h"
#include "torvik32c/texture_resolver.h"

struct TextureCopy {
  bool copied = false;  // the file is now beside the BMF under the stored name
  std::string problem;  // why not, for a warning; empty when copied or not found
};

// Copies the texture's pick into `folder` under the last component of its
// stored name, exactly as written, whatever its size.  A file already there
// with the same bytes (or the texture itself) is left alone and counts as
// copied; one with other bytes, a symbolic link and any file `batch` writes
// are never replaced (a problem says so).  The copy is written to a new file
// beside the destination and given its name only while nothing else has it,
// so no half-written texture is ever seen and no link is written through.
// `batch` (when given) is shared by the conversions of one run, which make
// their copies in turn; `input` is the model the copy is for.  The problem
// quotes the stored name as `names` decodes it, and calls a map of another
// kind than texture 1 by its kind ('bump map "X.JPG"').  With `as`, the
// copy takes that name instead of the stored one.  A name that holds a
// control character (a newline, a backspace) is never given to a copy: the
// texture is not copied, with a problem saying why.
TextureCopy CopyTexture(const torvik::TextureResolution& texture,
                        const std::filesystem::path& folder, BatchCopies* batch = nullptr,
                        const std::string& input = {}, const torvik::NameDecoder& names = {},
                        const std::string& as = {});

// Writes an image stored inside the model into `folder` as its file name,
// by the same rules as CopyTexture: a file there with the same bytes counts
// as written, one with other bytes, a symbolic link and an output of the
// run are never replaced (a problem says so).
TextureCopy WriteEmbeddedImage(const torvik::EmbeddedImage& image,
                               const std::filesystem::path& folder, BatchCopies* batch = nullptr,
                               const std::string& input = {});
