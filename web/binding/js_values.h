// Building JavaScript values from the library's results: typed arrays copied
// out of the module's memory, texture resolutions, lists of strings.
#pragma once

#include <emscripten/val.h>

#include <span>
#include <string>
#include <vector>

#include "torvik32c/texture_resolver.h"

// A new Uint8Array, Uint16Array or Float32Array holding a copy of `items`
// (the module's memory may move when it grows, so no view is handed out).
template <class T>
emscripten::val CopiedArray(const char* type, std::span<const T> items) {
  return emscripten::val::global(type).new_(
      emscripten::typed_memory_view(items.size(), items.data()));
}

emscripten::val StringArray(const std::vector<std::string>& items);

// {name, path, rule, candidates, problem}: path and rule null when not
// found, candidates empty unless ambiguous, problem the warning's text or
// null.
emscripten::val TextureValue(const torvik::TextureResolution& texture);
emscripten::val TextureValues(const std::vector<torvik::TextureResolution>& textures);
