// Building JavaScript values from the library's results: typed arrays copied
// out of the module's memory, texture resolutions, lists of strings.
#pragma once

#include <emscripten/val.h>

#include <span>
#include <string>
#include <vector>

#include "torvik32c/model_import.h"
#include "torvik32c/name_text.h"
#include "torvik32c/reports.h"
#include "torvik32c/texture_resolver.h"

// A new Uint8Array, Uint16Array or Float32Array holding a copy of `items`
// (the module's memory may move when it grows, so no view is handed out).
template <class T>
emscripten::val CopiedArray(const char* type, std::span<const T> items) {
  return emscripten::val::global(type).new_(
      emscripten::typed_memory_view(items.size(), items.data()));
}

emscripten::val StringArray(const std::vector<std::string>& items);

// How the options' nameEncoding (a label that torvik.js has checked the
// browser's TextDecoder knows) reads names that are not UTF-8: Windows-1252
// and UTF-8 as every build decodes them, any other by TextDecoder; without
// one, as Windows-1252.
torvik::NameDecoder NameDecoderOf(const emscripten::val& options);

// {name, path, rule, candidates, problem}: the name as text (decoded as
// `names` says), path and rule null when not found, candidates empty unless
// ambiguous, problem the warning's text or null.
emscripten::val TextureValue(const torvik::TextureResolution& texture,
                             const torvik::NameDecoder& names);
emscripten::val TextureValues(const std::vector<torvik::TextureResolution>& textures,
                              const torvik::NameDecoder& names);

// Each map as TextureValue has its file, with {material, kind ("texture",
// "bump", ...), placement ("30 %, tiled 3 x 4.5", or empty)}.
emscripten::val MapValues(const std::vector<torvik::MaterialMap>& maps,
                          const torvik::NameDecoder& names);

// The files beside a glTF or OBJ model from `files`, an object {path
// relative to the model's folder: Uint8Array} (torvik.js gives those within
// the folder), copied into the module (torvik::GivenFiles); none when it is
// not an object.  Throws std::invalid_argument for a path that leaves the
// folder.
torvik::FileReader GivenFilesOf(const emscripten::val& files);

// [{name, fileName, bytes}]: each image stored inside the model, by the
// texture name its material gives it and the file name 3ds2bmf writes it
// under beside the BMF.
emscripten::val ImageValues(const std::vector<torvik::EmbeddedImage>& images);
