// What the tools say about a model's textures: each distinct texture name
// resolved, as JSON objects and as warnings.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "torvik32c/texture_resolver.h"

// The non-empty names, each once, in the order they first appear.
std::vector<std::string> DistinctTextureNames(const std::vector<std::string>& names);

// Resolves each of `names` for the model at `model_file`.
std::vector<torvik::TextureResolution> ResolveTextures(const std::vector<std::string>& names,
                                                       const std::filesystem::path& model_file,
                                                       const torvik::TextureSearchOptions& options);

std::size_t FoundCount(const std::vector<torvik::TextureResolution>& textures);

// {"name":..,"path":..,"rule":..,"candidates":[..]}: path and rule null when
// nothing was found, candidates empty unless the name is ambiguous.
std::string TextureJson(const torvik::TextureResolution& texture);
// The objects as a JSON array; with `copied` (one flag per texture) each
// object also says "copied": true or false.
std::string TexturesJson(const std::vector<torvik::TextureResolution>& textures,
                         const std::vector<bool>* copied = nullptr);

// 'texture "X.JPG" not found', or 'texture "X.JPG" is ambiguous: A, B
// (using A)'; empty when the texture was found once.  Without `used` (the
// file fails for it) an ambiguous texture's line names no pick.
std::string TextureProblem(const torvik::TextureResolution& texture, bool used = true);

// "maps/wood.jpg (subfolder)", "maps/wood.jpg (subfolder, 2 candidates)"
// or "not found", for text reports.
std::string TextureOutcome(const torvik::TextureResolution& texture);
