// The textures a preview draws: each block's texture, found by the resolver,
// decoded once however many blocks and names lead to its file, within the
// memory one model's textures may take (images/texture_budget.h).  A BMF
// written from a scene is drawn as the scene glTF draws its materials:
// texture 1 placed and wrapped as the file says, with the opacity map in
// its alpha.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "images/texture_budget.h"
#include "preview_renderer.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/name_text.h"
#include "torvik32c/texture_resolver.h"

struct PreviewTextures {
  std::vector<std::shared_ptr<const Image>> blocks;  // per block; null: its diffuse colour
  // Per block: how its texture lies and what shows through it; none: as
  // stored, opaque.
  std::vector<PreviewSurface> surfaces;
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

// How many triangles each of the model's materials holds, in order: what
// BlockMaterials needs of the model, kept once its memory is given back.
std::vector<std::size_t> MaterialTriangles(const torvik::Model& model);

// Which scene material each block of a BMF written from a model whose
// materials hold `material_triangles` draws: the model's materials in
// order, each in one or more consecutive blocks that hold its triangles (one
// empty block for a material without any).  The model's materials are the
// scene's in order, after the default material when the conversion added
// it (`default_added`): a block of the default material, or past them all,
// gets kNoSceneMaterial.
inline constexpr std::size_t kNoSceneMaterial = static_cast<std::size_t>(-1);
std::vector<std::size_t> BlockMaterials(const std::vector<std::size_t>& material_triangles,
                                        bool default_added, const torvik::BmfFile& file);

// The textures of a BMF written from a scene with these materials, as the
// scene glTF draws them (base_colour.h): `block_materials` gives each
// block's material (past the end: the default material, untextured,
// opaque), `maps` the materials' map names resolved for their kinds.
// Problems as LoadPreviewTextures has them, and for an opacity map
// 'opacity map "X.JPG": ..., drawn opaque'.
PreviewTextures LoadScenePreviewTextures(const torvik::BmfFile& file,
                                         const std::vector<std::size_t>& block_materials,
                                         const std::vector<torvik::H3dsMat>& materials,
                                         const std::vector<torvik::TextureResolution>& maps,
                                         bool report_missing,
                                         std::uint64_t budget = torvik::images::kModelTextureBudget,
                                         const torvik::NameDecoder& names = {});
