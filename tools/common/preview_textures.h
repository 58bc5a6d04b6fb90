// The textures a preview draws: each block's texture, found by the resolver,
// decoded once however many blocks and names lead to its file, within the
// memory one model's textures may take (images/texture_budget.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "images/texture_budget.h"
#include "preview_renderer.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/name_text.h"
#include "torvik32c/texture_resolver.h"

struct PreviewTextures {
  std::vector<std::shared_ptr<const Image>> blocks;  // per block; null: its diffuse colour
  // Why a texture is not drawn, one line per texture name:
  // 'texture "X.JPG": PATH: damaged image (...), drawn in its diffuse colour';
  // a texture past the memory budget is drawn in its diffuse colour too.
  std::vector<std::string> problems;

  // For RenderPreview.
  std::vector<const Image*> Pointers() const;
};

// The texture names of the file's blocks, each once.
std::vector<std::string> BlockTextureNames(const torvik::BmfFile& file);

// `textures` are the file's resolved texture names.  A name not found is a
// problem only when `report_missing` (a caller that warns about missing
// textures anyway leaves it out).  `budget` bounds the bytes of decoded
// pixels that the textures take together.  Problems quote the names as
// `names` decodes them.
PreviewTextures LoadPreviewTextures(const torvik::BmfFile& file,
                                    const std::vector<torvik::TextureResolution>& textures,
                                    bool report_missing,
                                    std::uint64_t budget = torvik::images::kModelTextureBudget,
                                    const torvik::NameDecoder& names = {});
