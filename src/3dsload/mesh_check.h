// The rules a mesh keeps once its chunk has been read, checked in one place
// for the reader and for the conversion of scenes built by hand.
#pragma once

#include <optional>
#include <string>

#include "torvik32c/3dsload.h"

namespace torvik {

// The first broken rule of `mesh`, as a message, or nothing: every face's
// corners are vertices of the mesh, a smoothing-group list has one mask per
// face, and every face-material group lists faces of the mesh.  The names
// it quotes read as `names` decodes them.
std::optional<std::string> FindMeshFault(const H3dsMeshObj& mesh, const NameDecoder& names);

}  // namespace torvik
