// A BMF file taken apart for the page's viewer and report: its blocks with
// their vertex and triangle tables, every broken layout rule, and where each
// texture is found beside it.
#pragma once

#include <emscripten/val.h>

#include <string>

#include "torvik32c/name_text.h"

// {ok, error, stripFlag, trailingBytes, blocks, violations, textures,
// warnings}.  Each block is {texture, ambient, diffuse, specular (4 floats
// each), vertices (Float32Array, 8 floats per vertex: u v i j k x y z),
// triangles (Uint16Array, 3 per triangle)}, its texture name as text
// (decoded as `names` says).  Never throws.
emscripten::val InspectBmfFile(const std::string& path, const torvik::NameDecoder& names);
