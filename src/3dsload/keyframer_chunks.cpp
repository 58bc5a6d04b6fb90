// Keyframer chunks: the nodes with their ids, names, parents, pivots and the
// first key of their position, rotation and scale tracks; with the tracks
// asked for, every key of every track and the frame range too.
#include "keyframer_chunks.h"

#include <algorithm>
#include <cmath>

#include "chunk_body.h"

namespace torvik {

namespace {

constexpr uword kFrameRange = 0xB008;
constexpr uword kCurrentFrame = 0xB009;
constexpr uword kAmbientNode = 0xB001;
constexpr uword kLastNode = 0xB007;  // 0xB001 to 0xB007: ambient, object, camera, light nodes
constexpr uword kNodeHeader = 0xB010;
constexpr uword kInstanceName = 0xB011;
constexpr uword kPivot = 0xB013;
constexpr uword kPositionTrack = 0xB020;
constexpr uword kRotationTrack = 0xB021;
constexpr uword kScaleTrack = 0xB022;
constexpr uword kFovTrack = 0xB023;
constexpr uword kRollTrack = 0xB024;
constexpr uword kColorTrack = 0xB025;
constexpr uword kHotspotTrack = 0xB027;
constexpr uword kFalloffTrack = 0xB028;
constexpr uword kHideTrack = 0xB029;
constexpr uword kNodeId = 0xB030;

// The spline values a key may carry, one float per flag bit: tension,
// continuity, bias, ease to, ease from.
constexpr int kKeySplineValues = 5;

// The bytes a key takes at least: its frame and its flags.
constexpr std::size_t kKeyHeader = 6;

// The keys of one track as the file stores them: `on_key(index, frame,
// spline)` is called after each key's header and spline values, and reads
// the key's value itself; every key is walked over, so that a track cut
// short is noticed.  Returns the track's flag word.
template <class OnKey>
uword ReadKeys(ChunkBody& track, OnKey&& on_key) {
  const uword flags = track.u16();
  track.take(8);  // 8 bytes no reader uses
  const std::uint32_t keys = track.u32();
  for (std::uint32_t k = 0; k < keys; ++k) {
    const std::uint32_t frame = track.u32();
    const uword key_flags = track.u16();
    KeySpline spline;
    float32* const values[kKeySplineValues] = {&spline.tension, &spline.continuity, &spline.bias,
                                               &spline.ease_to, &spline.ease_from};
    for (int bit = 0; bit < kKeySplineValues; ++bit)
      if ((key_flags & (1u << bit)) != 0) *values[bit] = track.f32();
    on_key(k, keys, frame, spline);
  }
  return flags;
}

bool Finite(const KeySpline& spline) {
  return std::isfinite(spline.tension) && std::isfinite(spline.continuity) &&
         std::isfinite(spline.bias) && std::isfinite(spline.ease_to) &&
         std::isfinite(spline.ease_from);
}

template <std::size_t N>
bool Finite(const std::array<float32, N>& value) {
  return std::all_of(value.begin(), value.end(), [](float32 v) { return std::isfinite(v); });
}

// Where a node's keys go while it is read: its tracks when they are kept,
// and the keys dropped from them.
struct TrackSink {
  NodeTracks* tracks = nullptr;           // none: only the first keys are kept
  std::size_t dropped = 0;                // keys out of order or not finite
  std::vector<const char*> dropped_from;  // the tracks they were in

  // Space for the `count` keys of a track whose first key was just read,
  // as far as the bytes left can hold the others (`key_size` bytes each).
  template <class Vector>
  static void Reserve(Vector& keys, std::uint32_t count, const ChunkBody& track,
                      std::size_t key_size) {
    keys.reserve(std::min<std::size_t>(count, track.remaining() / key_size + 1));
  }

  // Keeps the key when its numbers are finite and it follows the last kept
  // key; a first key that is not finite drops the whole track, as the
  // placement at frame 0 ignores it.
  template <std::size_t N>
  void Add(Track<N>& track, std::uint32_t index, std::uint32_t frame, const KeySpline& spline,
           const std::array<float32, N>& value, const char* name) {
    const bool finite = Finite(spline) && Finite(value);
    const bool in_order = track.keys.empty() || frame > track.keys.back().frame;
    const bool first_dropped = index > 0 && track.keys.empty();
    if (finite && in_order && !first_dropped) {
      track.keys.push_back({frame, spline, value});
      return;
    }
    Drop(name);
  }
  void AddHide(HideTrack& track, std::uint32_t frame) {
    if (track.frames.empty() || frame > track.frames.back())
      track.frames.push_back(frame);
    else
      Drop("hide track");
  }
  void Drop(const char* name) {
    ++dropped;
    if (dropped_from.empty() || dropped_from.back() != name) dropped_from.push_back(name);
  }
};

// A track whose keys hold N floats: the first key's value in `first`, and
// with a sink every key in `track`.
template <std::size_t N>
bool ReadTrack(ChunkBody& chunk, std::array<float32, N>& first, Track<N>* track, TrackSink& sink,
               const char* name) {
  bool any = false;
  const uword flags = ReadKeys(chunk, [&](std::uint32_t k, std::uint32_t count, std::uint32_t frame,
                                          const KeySpline& spline) {
    std::array<float32, N> value;
    const byte* data = chunk.take(4 * N);
    for (std::size_t i = 0; i < N; ++i) value[i] = load_f32(data + 4 * i);
    if (k == 0) {
      first = value;
      any = true;
      if (track != nullptr) TrackSink::Reserve(track->keys, count, chunk, 4 * N + kKeyHeader);
    }
    if (track != nullptr) sink.Add(*track, k, frame, spline, value, name);
  });
  if (track != nullptr) track->flags = flags;
  return any;
}

void Copy3(const std::array<float32, 3>& from, float32 (&to)[3]) {
  std::copy(from.begin(), from.end(), to);
}

void ReadNode(ChunkBody& body, H3dsNode& node, TrackSink& sink) {
  NodeTracks* tracks = sink.tracks;
  while (body.more()) {
    uword id = 0;
    ChunkBody chunk = body.sub(id, "node chunk");
    std::array<float32, 3> v3{};
    std::array<float32, 4> v4{};
    std::array<float32, 1> v1{};
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
        node.has_position =
            ReadTrack(chunk, v3, tracks ? &tracks->position : nullptr, sink, "position track");
        if (node.has_position) Copy3(v3, node.position);
        break;
      case kRotationTrack:
        node.has_rotation =
            ReadTrack(chunk, v4, tracks ? &tracks->rotation : nullptr, sink, "rotation track");
        if (node.has_rotation) {
          node.rotation_angle = v4[0];
          std::copy(v4.begin() + 1, v4.end(), node.rotation_axis);
        }
        break;
      case kScaleTrack:
        node.has_scale =
            ReadTrack(chunk, v3, tracks ? &tracks->scale : nullptr, sink, "scale track");
        if (node.has_scale) Copy3(v3, node.scale);
        break;
      case kRollTrack:
        node.has_roll = ReadTrack(chunk, v1, tracks ? &tracks->roll : nullptr, sink, "roll track");
        if (node.has_roll) node.roll = v1[0];
        break;
      case kFovTrack:
        if (tracks != nullptr) ReadTrack(chunk, v1, &tracks->fov, sink, "field-of-view track");
        break;
      case kColorTrack:
        if (tracks != nullptr) ReadTrack(chunk, v3, &tracks->color, sink, "colour track");
        break;
      case kHotspotTrack:
        if (tracks != nullptr) ReadTrack(chunk, v1, &tracks->hotspot, sink, "hotspot track");
        break;
      case kFalloffTrack:
        if (tracks != nullptr) ReadTrack(chunk, v1, &tracks->falloff, sink, "falloff track");
        break;
      case kHideTrack:
        if (tracks == nullptr) break;
        tracks->hide.flags = ReadKeys(chunk, [&](std::uint32_t k, std::uint32_t count,
                                                 std::uint32_t frame, const KeySpline&) {
          if (k == 0) TrackSink::Reserve(tracks->hide.frames, count, chunk, kKeyHeader);
          sink.AddHide(tracks->hide, frame);
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
std::size_t CountNodes(ChunkBody keyframer) {
  std::size_t count = 0;
  try {
    while (keyframer.more()) {
      uword id = 0;
      keyframer.sub(id, "keyframer chunk");
      count += IsNodeChunk(id) ? 1 : 0;
    }
  } catch (const ChunkBodyFault&) {
  }
  return count;
}

// Warns of the nodes whose keys were dropped: each of the first few by
// name, the others counted.
class DroppedKeys {
 public:
  explicit DroppedKeys(const NameDecoder& names) : names_(names) {}

  void Note(const H3dsNode& node, const TrackSink& sink) {
    if (sink.dropped == 0) return;
    if (++nodes_ > kNamed) {
      more_keys_ += sink.dropped;
      return;
    }
    std::string where;
    for (std::size_t i = 0; i < sink.dropped_from.size(); ++i)
      where += (i == 0                              ? ""
                : i + 1 == sink.dropped_from.size() ? " and "
                                                    : ", ") +
               std::string(sink.dropped_from[i]);
    warnings_.push_back("node " + std::to_string(node.id) + " ('" + ShownName(node.name, names_) +
                        "') has " + std::to_string(sink.dropped) +
                        (sink.dropped == 1 ? " key" : " keys") +
                        " out of order or not finite in its " + where + ", which " +
                        (sink.dropped == 1 ? "is" : "are") + " ignored");
  }
  void AddTo(std::vector<std::string>& warnings) const {
    warnings.insert(warnings.end(), warnings_.begin(), warnings_.end());
    if (nodes_ > kNamed)
      warnings.push_back(std::to_string(nodes_ - kNamed) + " more nodes have " +
                         std::to_string(more_keys_) + " keys out of order or not finite, ignored");
  }

 private:
  static constexpr std::size_t kNamed = 10;
  const NameDecoder& names_;
  std::size_t nodes_ = 0, more_keys_ = 0;
  std::vector<std::string> warnings_;
};

// The frame range (0xB008: first and last frame) and current frame
// (0xB009); a chunk too short for them leaves them out.
void ReadHeaderChunk(uword id, ChunkBody chunk, KeyframerAnimation& animation) {
  if (id == kFrameRange && chunk.remaining() >= 8) {
    const std::uint32_t first = chunk.u32();
    animation.range = std::array<std::uint32_t, 2>{first, chunk.u32()};
  } else if (id == kCurrentFrame && chunk.remaining() >= 4) {
    animation.current_frame = chunk.u32();
  }
}

}  // namespace

KeyframerNodes ReadKeyframerNodes(std::span<const byte> file, std::size_t start, bool tracks,
                                  const NameDecoder& names) {
  KeyframerNodes result;
  DroppedKeys dropped(names);
  try {
    ChunkBody outer(file, start, file.size(), "keyframer");
    uword id = 0;
    const ChunkBody keyframer = outer.sub(id, "keyframer");
    const std::size_t count = CountNodes(keyframer);
    if (count > kMaxKeyframerNodes)
      throw ChunkBodyFault("it has " + std::to_string(count) + " nodes, more than the " +
                           std::to_string(kMaxKeyframerNodes) + " that 16-bit node ids tell apart");
    result.nodes.reserve(count);
    if (tracks) result.animation.tracks.reserve(count);
    // Without an id chunk a node is numbered by its place among the
    // keyframer's nodes.
    for (ChunkBody chunks = keyframer; chunks.more();) {
      ChunkBody chunk = chunks.sub(id, "keyframer chunk");
      if (!IsNodeChunk(id)) {
        if (tracks) ReadHeaderChunk(id, chunk, result.animation);
        continue;
      }
      H3dsNode& node = result.nodes.emplace_back();
      node.kind = id;
      node.id = static_cast<uword>(result.nodes.size() - 1);
      TrackSink sink;
      if (tracks) sink.tracks = &result.animation.tracks.emplace_back();
      ReadNode(chunk, node, sink);
      dropped.Note(node, sink);
    }
  } catch (const ChunkBodyFault& fault) {
    result.nodes = {};
    result.animation = {};
    result.warnings.push_back(std::string("the keyframer is ignored: ") + fault.what());
    return result;
  }
  dropped.AddTo(result.warnings);
  return result;
}

std::size_t KeyCount(const NodeTracks& tracks) {
  return tracks.position.keys.size() + tracks.rotation.keys.size() + tracks.scale.keys.size() +
         tracks.fov.keys.size() + tracks.roll.keys.size() + tracks.hide.frames.size();
}

}  // namespace torvik
