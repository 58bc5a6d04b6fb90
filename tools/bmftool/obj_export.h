// Wavefront OBJ and MTL text for a BMF model.
#pragma once

#include <span>
#include <string>

#include "torvik32c/bmf_reader.h"
#include "torvik32c/export_conventions.h"
#include "torvik32c/name_text.h"

struct ObjText {
  std::string obj, mtl;
};

// One material per block, named "block<N>", with Ka, Kd and Ks from the
// block's colours, d the opacity of the diffuse alpha (OpacityOf) and map_Kd
// from the texture name.  Positions, normals and corner order in the axes
// `axes` (export_conventions.h), texture coordinates as stored; one OBJ index
// stands for one BMF vertex in all three lists.  `mtl_name` is what the OBJ's
// mtllib line names.  Triangles with an index outside their block are left
// out.  `texture_files`, when given, holds for each block the file its
// map_Kd names; where it is empty (a texture not found), map_Kd names the
// stored name's last component, with no folder, drive or "..", as text
// (NameUtf8: decoded as `names` says); a file found is named by its path,
// as valid UTF-8 (other bytes taken as Latin-1).
ObjText ExportObj(const torvik::BmfFile& file, const std::string& mtl_name,
                  std::span<const std::string> texture_files = {},
                  torvik::ExportAxes axes = torvik::ExportAxes::authored,
                  const torvik::NameDecoder& names = {});
