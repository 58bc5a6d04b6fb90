// The materials of an MTL file: newmtl, Kd, Ka, Ks, d, Tr and map_Kd.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "torvik32c/3dsload.h"

namespace torvik::objload {

// Appends the materials of the MTL file `file` (its name, for messages)
// whose bytes are `bytes` to `materials`; a name already there is left as
// it was defined first.  Throws ImportError for a number that does not read.
void ReadMtl(std::span<const byte> bytes, const std::string& file, std::vector<H3dsMat>& materials);

}  // namespace torvik::objload
