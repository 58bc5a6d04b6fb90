// --texture NAME=FILE: the user decides which file a stored texture name
// stands for.
#pragma once

#include <string>
#include <vector>

#include "torvik32c/texture_resolver.h"

// Each value split at its first '='.  Throws std::invalid_argument for a
// value without '=', with an empty NAME or FILE, or whose FILE is not a
// regular file (a link to one is fine).
std::vector<torvik::TextureChoice> ParseTextureChoices(const std::vector<std::string>& values);
