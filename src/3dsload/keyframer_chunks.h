// The keyframer (chunk 0xB000): its object nodes as stored.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "torvik32c/keyframer.h"
#include "torvik32c/types.h"

namespace torvik {

struct KeyframerNodes {
  std::vector<H3dsNode> nodes;
  // Why the keyframer was ignored; the nodes are then empty.
  std::vector<std::string> warnings;
};

// Reads the keyframer chunk that starts at byte `start` of `file` (its
// header included).  Never throws but std::bad_alloc: a chunk or track cut
// short, or one that runs past its parent, leaves no nodes and a warning.
KeyframerNodes ReadKeyframerNodes(std::span<const byte> file, std::size_t start);

}  // namespace torvik
