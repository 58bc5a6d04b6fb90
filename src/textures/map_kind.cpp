#include "torvik32c/map_kind.h"

namespace torvik {

const char* MapKindName(MapKind kind) {
  switch (kind) {
    case MapKind::texture:
      return "texture";
    case MapKind::texture2:
      return "texture 2";
    case MapKind::opacity:
      return "opacity";
    case MapKind::bump:
      return "bump";
    case MapKind::specular:
      return "specular";
    case MapKind::shininess:
      return "shininess";
    case MapKind::self_illumination:
      return "self-illumination";
    case MapKind::reflection:
      return "reflection";
  }
  return "unknown";
}

}  // namespace torvik
