// The keyframer (chunk 0xB000): its nodes as stored, and with them every key
// of their tracks when asked.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "torvik32c/keyframer.h"
#include "torvik32c/keyframer_tracks.h"
#include "torvik32c/name_text.h"
#include "torvik32c/types.h"

namespace torvik {

struct KeyframerNodes {
  std::vector<H3dsNode> nodes;
  // With `tracks`: every key, and the frame range.
  KeyframerAnimation animation;
  // Why the keyframer was ignored (the nodes are then empty), or which keys
  // were dropped.
  std::vector<std::string> warnings;
};

// Reads the keyframer chunk that starts at byte `start` of `file` (its
// header included), with every key of its tracks when `tracks` says so.
// Never throws but std::bad_alloc: a chunk or track cut short, or one that
// runs past its parent, leaves no nodes and a warning; keys out of order or
// not finite are dropped with a warning (`names` decodes the names quoted).
KeyframerNodes ReadKeyframerNodes(std::span<const byte> file, std::size_t start,
                                  bool tracks = false, const NameDecoder& names = {});

}  // namespace torvik
