// Files that go beside a BMF, written safely: a texture copied under the
// name the model stores (3ds2bmf --copy-textures), and an image stored
// inside a glTF under the file name its texture name gives it (3ds2bmf and
// the Python module's convert()).  Never over a file of other contents, a
// symbolic link or another output of the run, never under a name that
// holds a control character, and never half-written.  Part of
// torvik_reports.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "torvik32c/batch_copies.h"
#include "torvik32c/model_import.h"
#include "torvik32c/name_text.h"
#include "torvik32c/texture_resolver.h"

namespace torvik {

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
TextureCopy CopyTexture(const TextureResolution& texture, const std::filesystem::path& folder,
                        BatchCopies* batch = nullptr, const std::string& input = {},
                        const NameDecoder& names = {}, const std::string& as = {});

// Writes an image stored inside the model into `folder` as its file name,
// by the same rules as CopyTexture: a file there with the same bytes counts
// as written, one with other bytes, a symbolic link and an output of the
// run are never replaced (a problem says so).
TextureCopy WriteEmbeddedImage(const EmbeddedImage& image, const std::filesystem::path& folder,
                               BatchCopies* batch = nullptr, const std::string& input = {});

// What writing a model's stored images beside its BMF did.
struct EmbeddedImagesWritten {
  // Per image, in order: where it lies beside the BMF now (written, or
  // there already with the same bytes), or empty when it is not.
  std::vector<std::filesystem::path> paths;
  // "INPUT: embedded image "NAME": ... not overwritten", for each image
  // not written, as 3ds2bmf warns of it.
  std::vector<std::string> warnings;
};

// Writes each of the images stored inside the model `input` beside the BMF
// file `bmf` (in its folder), by WriteEmbeddedImage's rules.
EmbeddedImagesWritten WriteEmbeddedImages(const std::vector<EmbeddedImage>& images,
                                          const std::filesystem::path& bmf,
                                          const std::string& input, BatchCopies* batch = nullptr);

}  // namespace torvik
