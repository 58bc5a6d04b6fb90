// The library's results as the objects of torvik32c.results (dataclasses,
// so that they print, compare and pickle, as Dask needs).  Need the GIL.
#pragma once

#include <pybind11/pybind11.h>

#include <filesystem>
#include <string>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/keyframer.h"
#include "torvik32c/model_conversion.h"
#include "torvik32c/name_text.h"
#include "torvik32c/texture_resolver.h"

namespace torvik_python {

namespace py = pybind11;

// Every function here writes stored names as `names` decodes them
// (name_encoding; none: valid UTF-8 as it is, anything else as Windows-1252).

// [Texture, ...]
py::list TextureList(const std::vector<torvik::TextureResolution>& textures,
                     const torvik::NameDecoder& names = {});

py::object KeyframerEffectOf(const torvik::KeyframerEffect& effect);

// Conversion(source, destination, blocks, ...), the paths as os.fsdecode
// reads their bytes; `image_paths` says where each of the report's stored
// images lies beside the BMF (empty: nowhere).
py::object ConversionOf(const torvik::ConversionReport& report, const std::string& source,
                        const std::string& destination, const torvik::NameDecoder& names,
                        const std::vector<std::filesystem::path>& image_paths);

// BmfBytes(bmf, images=[EmbeddedImage, ...]): the BMF's bytes with the
// images stored inside a glTF, written nowhere.
py::object BmfBytesOf(const std::vector<torvik::byte>& bmf,
                      const std::vector<torvik::EmbeddedImage>& images);

// BmfModel(blocks=[Block, ...], ...): the blocks' tables handed over to numpy.
py::object BmfModelOf(torvik::BmfFile&& file,
                      const std::vector<torvik::TextureResolution>& textures,
                      const torvik::NameDecoder& names);

// Scene(meshes=[Mesh, ...], materials, textures, keyframer): the meshes'
// tables handed over to numpy.
struct SceneFacts {
  torvik::KeyframerEffect effect;
  std::vector<std::string> warnings;
  bool applied = false;
  std::vector<torvik::TextureResolution> textures;
};
py::object SceneOf(torvik::H3dsScene&& scene, const SceneFacts& facts,
                   const torvik::NameDecoder& names);

}  // namespace torvik_python
