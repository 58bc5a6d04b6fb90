// Keyframer chunks: the object nodes with their ids, names, parents, pivots
// and the first key of their position, rotation and scale tracks.
#include "keyframer_chunks.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "base/little_endian.h"
#include "chunk_reader.h"

namespace torvik {

namespace {

constexpr uword kAmbientNode = 0xB001;
constexpr uword kLastNode = 0xB007;  // 0xB001 to 0xB007: ambient, object, camera, light nodes
constexpr uword kNodeHeader = 0xB010;
constexpr uword kInstanceName = 0xB011;
constexpr uword kPivot = 0xB013;
constexpr uword kPositionTrack = 0xB020;
constexpr uword kRotationTrack = 0xB021;
constexpr uword kScaleTrack = 0xB022;
constexpr uword kRollTrack = 0xB024;
constexpr uword kNodeId = 0xB030;

// The spline values a key may carry, one float per flag bit: tension,
// continuity, bias, ease to, ease from.
constexpr uword kKeySplineBits = 0x1F;

// Thrown inside this file only: the keyframer is then left out.
struct KeyframerFault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A bounds-checked cursor over one chunk's body.
class Body {
 public:
  Body(std::span<const byte> file, std::size_t pos, std::size_t end, const char* what)
      : file_(file), pos_(pos), end_(end), what_(what) {}

  bool more() const { return pos_ < end_; }
  std::size_t pos() const { return pos_; }

  const byte* take(std::size_t len) {
    if (len > end_ - pos_)
      throw KeyframerFault(std::string(what_) + " at byte " + std::to_string(pos_) + " needs " +
                           std::to_string(len) + " bytes, but its chunk ends " +
                           std::to_string(len - (end_ - pos_)) + " bytes short");
    const byte* data = file_.data() + pos_;
    pos_ += len;
    return data;
  }
  uword u16() { return load_u16(take(2)); }
  std::uint32_t u32() { return load_u32(take(4)); }
  float32 f32() { return load_f32(take(4)); }
  void vec3(float32 (&v)[3]) {
    const byte* data = take(12);
    for (int i = 0; i < 3; ++i) v[i] = load_f32(data + 4 * i);
  }
  std::string name() {
    const void* nul = std::memchr(file_.data() + pos_, 0, end_ - pos_);
    if (nul == nullptr)
      throw KeyframerFault(std::string(what_) + " at byte " + std::to_string(pos_) +
                           " has a name without its terminating zero");
    const std::size_t length =
        static_cast<std::size_t>(static_cast<const byte*>(nul) - (file_.data() + pos_));
    const char* start = reinterpret_cast<const char*>(take(length + 1));
    // Object names are kept to their first characters; node names match them.
    return std::string(start, std::min(length, kMaxNameLength));
  }

  // The next sub-chunk, which must end within this body.
  Body sub(uword& id, const char* what) {
    const std::size_t start = pos_;
    id = u16();
    const std::uint32_t length = u32();
    if (length < 6 || length > end_ - start)
      throw KeyframerFault("chunk " + HexId(id) + " at byte " + std::to_string(start) +
                           " has length " + std::to_string(length) + ", which " +
                           (length < 6 ? "is less than its own header"
                                       : "runs past the end of the chunk that holds it"));
    pos_ = start + length;
    return Body(file_, start + 6, start + length, what);
  }

 private:
  std::span<const byte> file_;
  std::size_t pos_, end_;
  const char* what_;
};

// A track's first key; the others are walked over, so that a track cut short
// is noticed.  `read_value` reads one key's value.
template <class ReadValue>
bool ReadFirstKey(Body& track, ReadValue&& read_value) {
  track.take(2 + 8);  // flags, then 8 bytes no reader uses
  const std::uint32_t keys = track.u32();
  for (std::uint32_t k = 0; k < keys; ++k) {
    track.take(4);  // frame
    const uword flags = track.u16();
    for (uword bits = flags & kKeySplineBits; bits != 0; bits &= static_cast<uword>(bits - 1))
      track.take(4);
    read_value(k == 0);
  }
  return keys > 0;
}

// A track whose keys hold three floats (position, scale).
bool ReadVectorTrack(Body& track, float32 (&first_value)[3]) {
  return ReadFirstKey(track, [&](bool first) {
    float32 v[3];
    track.vec3(v);
    if (first) std::copy(v, v + 3, first_value);
  });
}

void ReadNode(Body& body, H3dsNode& node) {
  while (body.more()) {
    uword id = 0;
    Body chunk = body.sub(id, "node chunk");
    switch (id) {
      case kNodeId:
        node.id = chunk.u16();
        break;
      case kNodeHeader:
        node.name = chunk.name();
        node.flags1 = chunk.u16();
        node.flags2 = chunk.u16();
        node.parent = chunk.u16();
        break;
      case kInstanceName:
        node.instance = chunk.name();
        break;
      case kPivot:
        chunk.vec3(node.pivot);
        break;
      case kPositionTrack:
        node.has_position = ReadVectorTrack(chunk, node.position);
        break;
      case kRotationTrack:
        node.has_rotation = ReadFirstKey(chunk, [&](bool first) {
          const float32 angle = chunk.f32();
          float32 axis[3];
          chunk.vec3(axis);
          if (!first) return;
          node.rotation_angle = angle;
          std::copy(axis, axis + 3, node.rotation_axis);
        });
        break;
      case kScaleTrack:
        node.has_scale = ReadVectorTrack(chunk, node.scale);
        break;
      case kRollTrack:
        node.has_roll = ReadFirstKey(chunk, [&](bool first) {
          const float32 roll = chunk.f32();
          if (first) node.roll = roll;
        });
        break;
      default:
        break;
    }
  }
}

bool IsNodeChunk(uword id) { return id >= kAmbientNode && id <= kLastNode; }

// The node chunks among the keyframer's chunks, counted by their headers
// alone; a damaged length ends the count (the reading then reports it).
std::size_t CountNodes(Body keyframer) {
  std::size_t count = 0;
  try {
    while (keyframer.more()) {
      uword id = 0;
      keyframer.sub(id, "keyframer chunk");
      count += IsNodeChunk(id) ? 1 : 0;
    }
  } catch (const KeyframerFault&) {
  }
  return count;
}

}  // namespace

KeyframerNodes ReadKeyframerNodes(std::span<const byte> file, std::size_t start) {
  KeyframerNodes result;
  try {
    Body outer(file, start, file.size(), "keyframer");
    uword id = 0;
    const Body keyframer = outer.sub(id, "keyframer");
    const std::size_t count = CountNodes(keyframer);
    if (count > kMaxKeyframerNodes)
      throw KeyframerFault("it has " + std::to_string(count) + " nodes, more than the " +
                           std::to_string(kMaxKeyframerNodes) + " that 16-bit node ids tell apart");
    result.nodes.reserve(count);
    // Without an id chunk a node is numbered by its place among the
    // keyframer's nodes.
    for (Body chunks = keyframer; chunks.more();) {
      Body chunk = chunks.sub(id, "keyframer chunk");
      if (!IsNodeChunk(id)) continue;
      H3dsNode& node = result.nodes.emplace_back();
      node.kind = id;
      node.id = static_cast<uword>(result.nodes.size() - 1);
      ReadNode(chunk, node);
    }
  } catch (const KeyframerFault& fault) {
    result.nodes = {};
    result.warnings.push_back(std::string("the keyframer is ignored: ") + fault.what());
  }
  return result;
}

}  // namespace torvik
