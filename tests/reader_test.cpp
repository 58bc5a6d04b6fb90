// The chunk walk, names, the triangle-mesh chunks, and reading files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <limits>
#include <string>

#include "animated_demo.h"
#include "keyframer_demo.h"
#include "shapes.h"
#include "test_support.h"
#include "threeds_builder.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"
#include "torvik32c/file_bytes.h"

namespace {

using t3ds::ChunkWriter;
using torvik::H3dsScene;
using torvik::HRead3dsScene;
using torvik::ReadError;

H3dsScene Read(const ChunkWriter& out) { return HRead3dsScene(out.bytes()); }

// A mesh chunk body with a vertex list of `n` vertices.
void Vertices(ChunkWriter& out, int n) {
  out.begin(0x4110).u16(static_cast<std::uint16_t>(n));
  for (int i = 0; i < n; ++i) out.f32(static_cast<float>(i)).f32(static_cast<float>(i * i)).f32(1);
  out.end();
}

TEST(ChunkWalk, SkipsUnknownChunksAtEveryLevel) {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x0002).u32(3).end();  // version chunk
  out.begin(0x3D3D).begin(0x1234).u16(9).end();
  out.begin(0x4000).str("Obj").begin(0x4700).f32(1).end();  // camera before the mesh
  out.begin(0x4100).begin(0x4111).u8(1).end();
  Vertices(out, 3);
  out.begin(0x4120).u16(1).u16(0).u16(1).u16(2).u16(0);
  out.begin(0x4150).u32(1).end();  // smoothing groups, inside the face list
  out.begin(0x4130).str("M").u16(1).u16(0).end();
  out.begin(0x4999).end();
  out.end();                       // face list
  out.end().end();                 // mesh, object
  out.begin(0xB000).u32(0).end();  // keyframer inside the editor
  out.end();                       // editor
  out.begin(0xB000).u32(0).end();  // keyframer
  out.end();
  const H3dsScene scene = Read(out);
  ASSERT_EQ(scene.meshobjlist.size(), 1u);
  const auto& mesh = scene.meshobjlist[0];
  EXPECT_EQ(mesh.name, "Obj");
  EXPECT_EQ(mesh.vertlist.size(), 3u);
  ASSERT_EQ(mesh.bindings.size(), 1u);
  EXPECT_EQ(mesh.bindings[0].name, "M");
  EXPECT_FALSE(scene.defaultmaterialwarning);
}

TEST(ChunkWalk, MainChunkOfLengthSixGivesAnEmptyScene) {
  ChunkWriter out;
  out.empty(0x4D4D).u32(0xDEADBEEF);  // bytes after the main chunk are ignored
  const H3dsScene scene = Read(out);
  EXPECT_TRUE(scene.meshobjlist.empty());
  EXPECT_TRUE(scene.material.empty());
}

TEST(ChunkWalk, RejectsForeignShortAndOverlongStreams) {
  ChunkWriter editor_first;
  editor_first.empty(0x3D3D);
  EXPECT_THROW(Read(editor_first), ReadError);

  EXPECT_THROW(HRead3dsScene(std::vector<std::uint8_t>{0x4D, 0x4D, 6, 0}), ReadError);
  try {
    HRead3dsScene(std::vector<std::uint8_t>{});
    ADD_FAILURE() << "an empty file was read";
  } catch (const ReadError& error) {
    EXPECT_STREQ(error.what(), "empty file");
  }

  ChunkWriter overlong;  // main chunk claims more than the stream holds
  overlong.header(0x4D4D, 100).begin(0x3D3D).end();
  EXPECT_THROW(Read(overlong), ReadError);
}

TEST(ChunkWalk, RejectsImpossibleLengths) {
  for (std::uint32_t length : {0u, 5u, 0xFFFFFFFFu}) {
    ChunkWriter out;
    out.begin(0x4D4D).header(0x1234, length).end();
    EXPECT_THROW(Read(out), ReadError) << length;
  }
  ChunkWriter beyond;  // ends past byte 2^31 - 1
  beyond.begin(0x4D4D).header(0x1234, 0x7FFFFFFF).end();
  EXPECT_THROW(Read(beyond), ReadError);
}

TEST(ChunkWalk, ErrorsNameTheChunkAndTheOffset) {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D).begin(0x4000).str("Box01").begin(0x4100);
  out.begin(0x4110).u16(100).f32(1).end();  // 100 vertices announced, one float given
  out.end().end().end().end();
  try {
    Read(out);
    FAIL() << "no error";
  } catch (const ReadError& error) {
    const std::string message = error.what();
    EXPECT_EQ(error.chunk_id, 0x4110);
    EXPECT_EQ(error.chunk_offset, 30);
    EXPECT_NE(message.find("vertex list of mesh 'Box01'"), std::string::npos) << message;
    EXPECT_NE(message.find("0x4110 at byte 30"), std::string::npos) << message;
    EXPECT_NE(message.find("1196 bytes short"), std::string::npos) << message;
  }
}

TEST(ChunkWalk, SubChunkEndingPastItsParentIsWalkedToItsOwnEnd) {
  // The material block ends before its name chunk does; the walk follows the
  // name chunk and the editor's loop then stops.
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D);
  out.header(0xAFFF, 6 + 4);  // covers only part of the next header
  out.begin(0xA000).str("Long").end();
  out.end().end();
  const H3dsScene scene = Read(out);
  ASSERT_EQ(scene.material.size(), 1u);
  EXPECT_EQ(scene.material[0].name, "Long");
}

TEST(ChunkWalk, ObjectBlockResumesAtItsOwnEnd) {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D);
  // A's mesh claims B's object block too; after A the walk goes back to A's
  // end and so still reads B.
  out.header(0x4000, 6 + 2 + 6).str("A").header(0x4100, 6 + 14);
  out.begin(0x4000).str("B").begin(0x4100).end().end();
  out.begin(0x4000).str("C").begin(0x4010).end().end();  // no mesh: adds nothing
  out.begin(0x4000).str("D").begin(0x4100).end().begin(0x4100).end().end();
  out.end().end();
  const H3dsScene scene = Read(out);
  ASSERT_EQ(scene.meshobjlist.size(), 4u);
  EXPECT_EQ(scene.meshobjlist[0].name, "A");
  EXPECT_EQ(scene.meshobjlist[1].name, "B");
  EXPECT_EQ(scene.meshobjlist[2].name, "D");
  EXPECT_EQ(scene.meshobjlist[3].name, "D");
}

TEST(ChunkWalk, OverlappingChunksCannotMakeTheReaderSpin) {
  // Object blocks whose meshes run to the end of the file make the walk read
  // the rest of the file again for every block; the reader gives up.
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D);
  const int blocks = 20000;
  const std::size_t start = out.size();
  const std::uint32_t record = 13;
  const std::uint32_t total = blocks * record;
  for (std::uint32_t i = 0; i < blocks; ++i)
    out.header(0x4000, record).str("").header(0x4100, total - (i * record + 7));
  ASSERT_EQ(out.size() - start, total);
  out.end().end();
  EXPECT_THROW(Read(out), ReadError);
}

TEST(Names, LongNamesKeepFortyNineCharactersAndTheWalkResumesAfterTheZero) {
  const std::string name49(49, 'a');
  const std::string name60 = std::string(49, 'b') + std::string(11, 'c');
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D);
  out.begin(0x4000).str(name49).begin(0x4100).end().end();
  out.begin(0x4000).str(name60).begin(0x4100).end().end();
  out.end().end();
  const H3dsScene scene = Read(out);
  ASSERT_EQ(scene.meshobjlist.size(), 2u);
  EXPECT_EQ(scene.meshobjlist[0].name, name49);
  EXPECT_EQ(scene.meshobjlist[1].name, std::string(49, 'b'));
}

TEST(Names, UnterminatedNameIsAShortRead) {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D).begin(0x4000).u8('x').u8('y');
  std::vector<std::uint8_t> bytes = out.end().end().end().bytes();
  EXPECT_THROW(HRead3dsScene(bytes), ReadError);
}

ChunkWriter MeshFile(const std::function<void(ChunkWriter&)>& body) {
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D).begin(0x4000).str("M").begin(0x4100);
  body(out);
  out.end().end().end().end();
  return out;
}

TEST(MeshChunks, FlagSevenSwapsTheLastTwoCornersUnlessTheFileWindingIsKept) {
  const ChunkWriter file = MeshFile([](ChunkWriter& out) {
    Vertices(out, 3);
    out.begin(0x4120).u16(3);
    out.u16(0).u16(1).u16(2).u16(7);
    out.u16(0).u16(1).u16(2).u16(6);
    out.u16(0).u16(1).u16(2).u16(15);
    out.end();
  });
  const auto corners = [](const torvik::H3dsFace& face) {
    return std::vector<int>({face.p0, face.p1, face.p2});
  };
  const H3dsScene scene = Read(file);
  const auto& faces = scene.meshobjlist[0].facelist;
  ASSERT_EQ(faces.size(), 3u);
  EXPECT_EQ(corners(faces[0]), std::vector<int>({0, 2, 1}));
  EXPECT_EQ(corners(faces[1]), std::vector<int>({0, 1, 2}));
  EXPECT_EQ(corners(faces[2]), std::vector<int>({0, 1, 2}));
  const H3dsScene kept = HRead3dsScene(file.bytes(), {.keep_file_winding = true});
  for (const torvik::H3dsFace& face : kept.meshobjlist[0].facelist)
    EXPECT_EQ(corners(face), std::vector<int>({0, 1, 2}));
}

TEST(MeshChunks, MeshWithoutGroupsGetsTheDefaultBinding) {
  const H3dsScene scene = Read(MeshFile([](ChunkWriter& out) {
    Vertices(out, 3);
    out.begin(0x4120).u16(5);
    for (int i = 0; i < 5; ++i) out.u16(0).u16(1).u16(2).u16(0);
    out.end();
  }));
  EXPECT_TRUE(scene.defaultmaterialwarning);
  const auto& bindings = scene.meshobjlist[0].bindings;
  ASSERT_EQ(bindings.size(), 1u);
  EXPECT_EQ(bindings[0].name, "QZ_DEFAULT");
  EXPECT_EQ(bindings[0].faces, std::vector<std::uint16_t>({0, 1, 2, 3, 4}));

  const H3dsScene empty = Read(MeshFile([](ChunkWriter&) {}));
  EXPECT_TRUE(empty.defaultmaterialwarning);
  ASSERT_EQ(empty.meshobjlist[0].bindings.size(), 1u);
  EXPECT_TRUE(empty.meshobjlist[0].bindings[0].faces.empty());
}

TEST(MeshChunks, GroupsAreKeptAsReadAndTheLaterFaceListWins) {
  const H3dsScene scene = Read(MeshFile([](ChunkWriter& out) {
    out.begin(0x4120).u16(1).u16(0).u16(1).u16(2).u16(0).end();
    out.begin(0x4120).u16(5);
    for (int i = 0; i < 5; ++i) out.u16(0).u16(1).u16(2).u16(0);
    out.begin(0x4130).str("Red").u16(3).u16(4).u16(0).u16(2).end();
    out.begin(0x4130).str("Red").u16(1).u16(1).end();
    out.begin(0x4130).str("Empty").u16(0).end();
    out.end();
    Vertices(out, 3);  // after the faces that use them
    out.begin(0x4160);
    for (int i = 0; i < 12; ++i) out.f32(static_cast<float>(i));
    out.end();
  }));
  const auto& mesh = scene.meshobjlist[0];
  EXPECT_FALSE(scene.defaultmaterialwarning);
  EXPECT_EQ(mesh.facelist.size(), 5u);
  ASSERT_EQ(mesh.bindings.size(), 3u);
  EXPECT_EQ(mesh.bindings[0].faces, std::vector<std::uint16_t>({4, 0, 2}));
  EXPECT_EQ(mesh.bindings[1].name, "Red");
  EXPECT_TRUE(mesh.bindings[2].faces.empty());
  EXPECT_EQ(mesh.matrix, 1);
  EXPECT_EQ(mesh.TraMatrix[11], 11.0f);
  EXPECT_TRUE(mesh.maplist.empty());
}

TEST(MeshChunks, CountsAreUnsignedAndZeroIsAnEmptyList) {
  const H3dsScene scene = Read(MeshFile([](ChunkWriter& out) {
    out.begin(0x4110).u16(0).end();
    out.begin(0x4140).u16(0).end();
    out.begin(0x4120).u16(0).end();
  }));
  EXPECT_TRUE(scene.meshobjlist[0].vertlist.empty());

  const H3dsScene big = Read(MeshFile([](ChunkWriter& out) { Vertices(out, 40000); }));
  EXPECT_EQ(big.meshobjlist[0].vertlist.size(), 40000u);
}

TEST(MeshChunks, IndicesBeyondTheListsMakeTheFileDamaged) {
  EXPECT_THROW(Read(MeshFile([](ChunkWriter& out) {
                 Vertices(out, 3);
                 out.begin(0x4120).u16(1).u16(0).u16(1).u16(3).u16(0).end();
               })),
               ReadError);
  EXPECT_THROW(Read(MeshFile([](ChunkWriter& out) {
                 Vertices(out, 3);
                 out.begin(0x4120).u16(1).u16(0).u16(1).u16(2).u16(0);
                 out.begin(0x4130).str("M").u16(2).u16(0).u16(1).end();
                 out.end();
               })),
               ReadError);
  // A later, shorter vertex list is what counts.
  EXPECT_THROW(Read(MeshFile([](ChunkWriter& out) {
                 Vertices(out, 3);
                 out.begin(0x4120).u16(1).u16(0).u16(1).u16(2).u16(0).end();
                 Vertices(out, 2);
               })),
               ReadError);
}

// A FIFO is read to its end once its writer is done, and a wait for a writer
// ends when the caller's flag is raised.  Each wait is bounded: on a fault
// the flag is raised, so that nothing hangs.
TEST(FileBytes, FifosAreReadToTheirEndAndAWaitEndsWhenCancelled) {
  testing_support::TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> cancel{false};
  const auto bounded = [&](std::future<std::vector<torvik::byte>>& read) {
    if (read.wait_for(std::chrono::seconds(20)) == std::future_status::ready) return true;
    cancel = true;
    return false;
  };

  // Read and write ends open at once, so that neither waits; fewer bytes
  // than a pipe holds, so that writing never waits either.
  const int writer = open(fifo.c_str(), O_RDWR);
  ASSERT_GE(writer, 0);
  std::vector<torvik::byte> sent(40000);
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<torvik::byte>(i * 7);
  ASSERT_EQ(write(writer, sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
  std::future<std::vector<torvik::byte>> read =
      std::async(std::launch::async, [&] { return torvik::ReadFileBytes(fifo, &cancel); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  close(writer);
  ASSERT_TRUE(bounded(read));
  EXPECT_EQ(read.get(), sent);

  // Nobody writes: opening does not wait, reading waits until cancelled.
  read = std::async(std::launch::async, [&] { return torvik::ReadFileBytes(fifo, &cancel); });
  EXPECT_EQ(read.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  cancel = true;
  ASSERT_TRUE(bounded(read));
  EXPECT_THROW(read.get(), torvik::Cancelled);
  EXPECT_TRUE(torvik::ReadFileBytes("/dev/null").empty());
}

// A stream is read only as far as its content goes, while its writer keeps
// it open: a 3DS stream to its main chunk's end, or its 6-byte header when
// that is not the main chunk's; a BMF stream to its last block, the bytes
// after it counted (once the writer is done), or its 4-byte header when the
// strip flag is not 0.  A regular file is read whole.  Each read is bounded:
// one that waited for the stream's end is cancelled, and fails.
TEST(FileBytes, StreamsAreReadAsFarAsTheirContent) {
  testing_support::TempDir dir;
  std::string stream;  // the pipe's read end, opened anew by name
  std::atomic<bool> cancel{false};
  using Bytes = std::vector<torvik::byte>;
  const auto through_pipe = [&](const Bytes& sent, bool writer_done, auto read) {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    stream = "/dev/fd/" + std::to_string(ends[0]);
    EXPECT_EQ(write(ends[1], sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
    if (writer_done) close(ends[1]);
    auto result = std::async(std::launch::async, read);
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) cancel = true;
    if (!writer_done) close(ends[1]);
    close(ends[0]);
    return result.get();
  };
  const Bytes file = t3ds::BuildFile({}, {t3ds::Box("Box", {0, 0, 0}, {1, 1, 1})});
  Bytes trailed = file;
  trailed.insert(trailed.end(), 100, 0xEE);
  const auto read_3ds = [&] {
    return torvik::ReadFileBytes(stream, &cancel, torvik::ThreeDsStreamContent());
  };
  EXPECT_EQ(through_pipe(trailed, false, read_3ds), file);
  EXPECT_EQ(through_pipe(Bytes(1000, 0), false, read_3ds), Bytes(6, 0));
  EXPECT_THROW(through_pipe(Bytes(1000, 0), false, [&] { return torvik::ReadSceneFile(stream); }),
               ReadError);

  // One block with an empty name and no vertices, then 9 bytes.
  Bytes bmf = {1, 0, 0, 0, 1, 0, 0};
  bmf.resize(bmf.size() + 48 + 4, 0);
  Bytes bmf_trailed = bmf;
  bmf_trailed.insert(bmf_trailed.end(), 9, 0xEE);
  std::uint64_t rest = 0;
  const auto read_bmf = [&] {
    return torvik::ReadFileBytes(stream, &cancel, torvik::BmfStreamContent(), &rest);
  };
  EXPECT_EQ(through_pipe(bmf_trailed, true, read_bmf), bmf);
  EXPECT_EQ(rest, 9u);
  EXPECT_EQ(through_pipe({0x4D, 0x4D, 0x20, 0, 0, 0, 1, 2}, false, read_bmf),
            Bytes({0x4D, 0x4D, 0x20, 0}));
  EXPECT_EQ(rest, 0u);
  EXPECT_FALSE(cancel);

  testing_support::WriteFile(dir.file("trailed.3ds"), trailed);
  EXPECT_EQ(torvik::ReadFileBytes(dir.file("trailed.3ds"), nullptr, torvik::ThreeDsStreamContent()),
            trailed);
}

// The keyframer is read only when asked for, and a damaged one never fails
// the read: it is left out with a warning.
H3dsScene ReadKeyframer(const std::vector<std::uint8_t>& bytes) {
  return HRead3dsScene(bytes, {.keyframer = true});
}

// The gate's meshes, then a keyframer that `write` fills.
std::vector<std::uint8_t> GateWith(const std::function<void(ChunkWriter&)>& write) {
  const t3ds::Scene gate = t3ds::KeyframerDemo();
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D);
  for (const t3ds::Mesh& mesh : gate.meshes) t3ds::WriteObject(out, mesh);
  out.end();
  write(out);
  out.end();
  return out.bytes();
}

void ExpectSameMeshes(const H3dsScene& a, const H3dsScene& b) {
  ASSERT_EQ(a.meshobjlist.size(), b.meshobjlist.size());
  for (std::size_t m = 0; m < a.meshobjlist.size(); ++m) {
    const auto& va = a.meshobjlist[m].vertlist;
    const auto& vb = b.meshobjlist[m].vertlist;
    ASSERT_EQ(va.size(), vb.size());
    for (std::size_t i = 0; i < va.size(); ++i)
      EXPECT_TRUE(va[i].x == vb[i].x && va[i].y == vb[i].y && va[i].z == vb[i].z);
  }
}

TEST(KeyframerChunks, NodesAsStoredOnlyWhenAskedFor) {
  t3ds::Scene gate = t3ds::KeyframerDemo();
  gate.nodes[4].key_flags = 0x19;  // tension, ease to and ease from before each value
  const std::vector<std::uint8_t> bytes = t3ds::BuildFile(gate.materials, gate.meshes, gate.nodes);
  const H3dsScene plain = HRead3dsScene(bytes);
  EXPECT_TRUE(plain.nodes.empty());
  const H3dsScene scene = ReadKeyframer(bytes);
  EXPECT_TRUE(scene.keyframer_warnings.empty());
  ExpectSameMeshes(plain, scene);
  ASSERT_EQ(scene.nodes.size(), 8u);
  const torvik::H3dsNode& instance = scene.nodes[1];
  EXPECT_EQ(instance.id, 1);
  EXPECT_EQ(instance.name, "Pillar");
  EXPECT_EQ(instance.instance, "Pillar.2");
  EXPECT_EQ(instance.parent, 0xFFFF);
  EXPECT_TRUE(instance.has_position && !instance.has_rotation && !instance.has_scale);
  EXPECT_EQ(instance.position[0], 3.0f);
  EXPECT_EQ(scene.nodes[3].parent, 2);
  EXPECT_EQ(scene.nodes[2].name, "$$$DUMMY");
  const torvik::H3dsNode& door = scene.nodes[4];
  EXPECT_EQ(door.pivot[0], -1.0f);
  EXPECT_TRUE(door.has_rotation);
  EXPECT_EQ(door.rotation_angle, 1.04719755f);
  EXPECT_EQ(door.rotation_axis[2], 1.0f);
  EXPECT_EQ(door.position[0], -1.0f);
  EXPECT_TRUE(scene.nodes[5].has_scale);
  EXPECT_EQ(scene.nodes[5].scale[1], 1.5f);

  // Without id chunks, nodes are numbered in order, cameras and lights
  // counted; a camera node is kept as a node that names no mesh.
  const H3dsScene numbered = ReadKeyframer(GateWith([](ChunkWriter& out) {
    out.begin(0xB000);
    out.begin(0xB003).begin(0xB010).str("Camera01").u16(0).u16(0).u16(0xFFFF).end().end();
    out.begin(0xB002).begin(0xB010).str("Roof").u16(0).u16(0).u16(0).end().end();
    out.end();
  }));
  ASSERT_EQ(numbered.nodes.size(), 2u);
  EXPECT_EQ(numbered.nodes[0].kind, 0xB003);
  EXPECT_EQ(numbered.nodes[1].id, 1);
  EXPECT_EQ(numbered.nodes[1].parent, 0);
}

// Node ids are 16-bit: a keyframer of more than 65,536 nodes is refused as
// it is read, before its nodes take any memory; one of 65,536 is read, its
// nodes stored without room to spare.
TEST(KeyframerChunks, MoreNodesThanIdsTellApartAreRefusedAsRead) {
  for (const std::size_t count : {torvik::kMaxKeyframerNodes, torvik::kMaxKeyframerNodes + 1}) {
    const H3dsScene scene = ReadKeyframer(GateWith([count](ChunkWriter& out) {
      out.begin(0xB000);
      for (std::size_t i = 0; i < count; ++i) out.empty(0xB002);
      out.end();
    }));
    if (count == torvik::kMaxKeyframerNodes) {
      EXPECT_TRUE(scene.keyframer_warnings.empty());
      EXPECT_EQ(scene.nodes.size(), count);
      EXPECT_EQ(scene.nodes.capacity(), count);
      EXPECT_EQ(scene.nodes.back().id, 0xFFFF);
    } else {
      EXPECT_EQ(scene.nodes.capacity(), 0u);
      EXPECT_EQ(scene.keyframer_warnings,
                std::vector<std::string>{"the keyframer is ignored: it has 65537 nodes, more "
                                         "than the 65536 that 16-bit node ids tell apart"});
    }
  }
}

TEST(KeyframerChunks, DamagedKeyframerIsLeftOutWithAWarning) {
  const H3dsScene plain = HRead3dsScene(GateWith([](ChunkWriter&) {}));
  const std::vector<std::function<void(ChunkWriter&)>> damaged = {
      [](ChunkWriter& out) {  // a position track announcing two keys, holding one
        out.begin(0xB000).begin(0xB002);
        out.begin(0xB010).str("Roof").u16(0).u16(0).u16(0xFFFF).end();
        out.begin(0xB020).u16(0).u32(0).u32(0).u32(2).u32(0).u16(0).f32(1).f32(2).f32(3).end();
        out.end().end();
      },
      [](ChunkWriter& out) {  // a key whose spline floats are missing
        out.begin(0xB000).begin(0xB002);
        out.begin(0xB022).u16(0).u32(0).u32(0).u32(1).u32(0).u16(0x1F).f32(1).f32(2).end();
        out.end().end();
      },
      [](ChunkWriter& out) {  // a node header running past its node
        out.begin(0xB000).begin(0xB002).header(0xB010, 40).str("Roof").end().end();
      },
      [](ChunkWriter& out) {  // a name without its zero
        out.begin(0xB000).begin(0xB002).begin(0xB011).u8('A').end().end().end();
      },
      [](ChunkWriter& out) { out.header(0xB000, 1000).u32(0); },  // past the end of the file
  };
  for (std::size_t i = 0; i < damaged.size(); ++i) {
    const H3dsScene scene = ReadKeyframer(GateWith(damaged[i]));
    EXPECT_TRUE(scene.nodes.empty()) << i;
    ASSERT_EQ(scene.keyframer_warnings.size(), 1u) << i;
    EXPECT_EQ(scene.keyframer_warnings[0].rfind("the keyframer is ignored: ", 0), 0u)
        << scene.keyframer_warnings[0];
    ExpectSameMeshes(plain, scene);
  }
}

// With the animation asked for, every key of every track is kept, with its
// frame and the spline values its flags give, the tracks' flags and the
// keyframer's frame range; the first keys stay where the nodes keep them.
TEST(KeyframerTracks, EveryKeyWithItsSplineWhenAskedFor) {
  const std::vector<std::uint8_t> bytes = t3ds::BuildFile(t3ds::AnimatedDemo());
  EXPECT_TRUE(ReadKeyframer(bytes).animation.tracks.empty());
  const H3dsScene scene = HRead3dsScene(bytes, {.keyframer = true, .animation = true});
  EXPECT_TRUE(scene.keyframer_warnings.empty());
  ASSERT_EQ(scene.animation.tracks.size(), 9u);
  EXPECT_EQ(scene.animation.range, (std::array<std::uint32_t, 2>{0, 120}));
  const torvik::NodeTracks& arm = scene.animation.tracks[1];
  ASSERT_EQ(arm.rotation.keys.size(), 4u);
  EXPECT_EQ(arm.rotation.keys[2].frame, 80u);
  EXPECT_EQ(arm.rotation.keys[2].value, (std::array<float, 4>{2.09439510f, 0, 0, -1}));
  EXPECT_TRUE(arm.position.keys.size() == 1 && arm.scale.keys.empty());
  const torvik::NodeTracks& rider = scene.animation.tracks[2];
  ASSERT_EQ(rider.position.keys.size(), 3u);
  EXPECT_EQ(rider.position.keys[0].spline.ease_from, 0.5f);
  EXPECT_EQ(rider.position.keys[0].spline.tension, 0.0f);
  EXPECT_EQ(rider.position.keys[1].spline.tension, 0.5f);
  EXPECT_EQ(rider.position.keys[2].value, (std::array<float, 3>{3.5f, 0, 1.2f}));
  EXPECT_EQ(scene.nodes[2].position[2], 0.7f);
  EXPECT_EQ(scene.animation.tracks[3].hide.frames, (std::vector<std::uint32_t>{60, 90}));
  EXPECT_EQ(scene.animation.tracks[4].fov.keys.at(0).value[0], 48.0f);
  EXPECT_EQ(scene.animation.tracks[5].position.keys.size(), 5u);
  std::size_t keys = 0;
  for (const torvik::NodeTracks& tracks : scene.animation.tracks) keys += torvik::KeyCount(tracks);
  EXPECT_EQ(keys, 25u);

  // A real file: 182 rotation keys, the first one absolute and the others
  // small turns about the opposite axis.
  for (const std::string& path : testing_support::CorpusFiles()) {
    if (path.find("RotatingCube") == std::string::npos) continue;
    const H3dsScene cube = torvik::ReadSceneFile(path, {.keyframer = true, .animation = true});
    const torvik::Track<4>& turn = cube.animation.tracks.at(0).rotation;
    ASSERT_EQ(turn.keys.size(), 182u);
    EXPECT_NEAR(turn.keys[0].value[0], 0.14249, 1e-5);
    EXPECT_EQ(turn.keys[0].value[1], 1.0f);
    EXPECT_NEAR(turn.keys[1].value[0], 0.0008, 1e-5);
    EXPECT_EQ(turn.keys[1].value[1], -1.0f);
    EXPECT_EQ(cube.animation.range, (std::array<std::uint32_t, 2>{0, 300}));
  }
}

// Keys out of order, or holding numbers that are not finite, are dropped
// with one warning per node; a first key that is not finite drops its track
// (the placement at frame 0 ignores it).  The repeat and loop flags are kept.
TEST(KeyframerTracks, KeysOutOfOrderOrNotFiniteAreDroppedWithAWarning) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  t3ds::Node node{.id = 0, .name = "Roof"};
  node.position_keys = {{.frame = 0, .value = {1, 2, 3}},
                        {.frame = 20, .value = {2, 2, 3}},
                        {.frame = 10, .value = {3, 2, 3}},  // before the key it follows
                        {.frame = 20, .value = {4, 2, 3}},  // at the same frame
                        {.frame = 30, .value = {5, nan, 3}},
                        {.frame = 40, .value = {6, 2, 3}, .spline = {nan, 0, 0, 0, 0}},
                        {.frame = 50, .value = {7, 2, 3}}};
  node.scale_keys = {{.frame = 0, .value = {nan, 1, 1}}, {.frame = 10, .value = {2, 2, 2}}};
  node.track_flags = torvik::kTrackLoops;
  const t3ds::Scene gate = t3ds::KeyframerDemo();
  const H3dsScene scene = HRead3dsScene(t3ds::BuildFile(gate.materials, gate.meshes, {node}),
                                        {.keyframer = true, .animation = true});
  const torvik::NodeTracks& tracks = scene.animation.tracks.at(0);
  std::vector<std::uint32_t> frames;
  for (const auto& key : tracks.position.keys) frames.push_back(key.frame);
  EXPECT_EQ(frames, (std::vector<std::uint32_t>{0, 20, 50}));
  EXPECT_EQ(tracks.position.flags, torvik::kTrackLoops);
  EXPECT_TRUE(tracks.scale.keys.empty());
  EXPECT_EQ(scene.keyframer_warnings,
            std::vector<std::string>{"node 0 ('Roof') has 6 keys out of order or not finite in "
                                     "its position track and scale track, which are ignored"});
}

// Keys take at most three times the bytes the file gives them, however many
// a track claims: a track claiming more keys than its bytes hold is cut
// short, which leaves the keyframer out before anything is kept for it.
TEST(KeyframerTracks, KeysTakeMemoryInProportionToTheirBytes) {
  constexpr std::uint32_t kKeys = 100'000;
  const auto file = [](std::uint32_t claimed, std::uint32_t written) {
    return GateWith([=](ChunkWriter& out) {
      out.begin(0xB000).begin(0xB002);
      out.begin(0xB024).u16(0).u32(0).u32(0).u32(claimed);  // roll: one float a key
      for (std::uint32_t k = 0; k < written; ++k) out.u32(k).u16(0).f32(1);
      out.end();
      out.begin(0xB029).u16(0).u32(0).u32(0).u32(claimed);  // hide: no value at all
      for (std::uint32_t k = 0; k < written; ++k) out.u32(k).u16(0);
      out.end().end().end();
    });
  };
  const H3dsScene scene = HRead3dsScene(file(kKeys, kKeys), {.keyframer = true, .animation = true});
  const torvik::NodeTracks& tracks = scene.animation.tracks.at(0);
  ASSERT_EQ(tracks.roll.keys.size(), kKeys);
  EXPECT_EQ(tracks.roll.keys.capacity(), kKeys);
  EXPECT_LE(sizeof(tracks.roll.keys[0]), 3 * 10u);  // 10 bytes a key in the file
  EXPECT_EQ(tracks.hide.frames.capacity(), kKeys);
  EXPECT_LE(sizeof(tracks.hide.frames[0]), 6u);
  const H3dsScene cut = HRead3dsScene(file(0xFFFFFFFF, 10), {.keyframer = true, .animation = true});
  EXPECT_TRUE(cut.animation.tracks.empty());
  ASSERT_EQ(cut.keyframer_warnings.size(), 1u);
  EXPECT_EQ(cut.keyframer_warnings[0].rfind("the keyframer is ignored: ", 0), 0u);
}

// Cameras and lights are read only when asked for; one cut short is left
// out with a warning, and the meshes are read as without them.
TEST(CamerasAndLights, ReadWhenAskedForAndDamagedOnesLeftOut) {
  const t3ds::AnimatedScene demo = t3ds::AnimatedDemo();
  const std::vector<std::uint8_t> bytes = t3ds::BuildFile(demo);
  const H3dsScene plain = HRead3dsScene(bytes);
  EXPECT_TRUE(plain.cameras.empty() && plain.lights.empty());
  const H3dsScene scene = HRead3dsScene(bytes, {.cameras_and_lights = true});
  ExpectSameMeshes(plain, scene);
  ASSERT_EQ(scene.cameras.size(), 1u);
  const torvik::H3dsCamera& camera = scene.cameras[0];
  EXPECT_EQ(camera.name, "Chase");
  EXPECT_EQ(camera.position[0], 9.0f);
  EXPECT_EQ(camera.target[2], 1.7f);
  EXPECT_EQ(camera.lens, 50.0f);
  ASSERT_EQ(scene.lights.size(), 2u);
  const torvik::H3dsLight& lamp = scene.lights[0];
  EXPECT_EQ(lamp.name, "Lamp");
  EXPECT_FALSE(lamp.spot);
  EXPECT_EQ(lamp.color[1], 0.9f);
  EXPECT_EQ(lamp.multiplier, 1.2f);
  const torvik::H3dsLight& spot = scene.lights[1];
  EXPECT_TRUE(spot.spot && !spot.off && !spot.attenuated);
  EXPECT_EQ(spot.hotspot, 30.0f);
  EXPECT_EQ(spot.falloff, 45.0f);
  EXPECT_EQ(spot.target[0], 0.0f);

  // A camera of 4 bytes, a light whose colour runs past it, then a 24-bit
  // colour, switched off, attenuated.
  ChunkWriter out;
  out.begin(0x4D4D).begin(0x3D3D);
  out.begin(0x4000).str("Short").begin(0x4700).f32(1).end().end();
  out.begin(0x4000).str("Broken").begin(0x4600).f32(0).f32(0).f32(0).header(0x0010, 30).end().end();
  out.begin(0x4000).str("Dim").begin(0x4600).f32(1).f32(2).f32(3);
  out.begin(0x0011).u8(255).u8(0).u8(51).end().empty(0x4620).empty(0x4625);
  out.begin(0x4659).f32(5).end().begin(0x465A).f32(50).end().end().end();
  t3ds::WriteObject(out, t3ds::Box("Box", {0, 0, 0}, {1, 1, 1}));
  out.end().end();
  const H3dsScene damaged = HRead3dsScene(out.bytes(), {.cameras_and_lights = true});
  EXPECT_EQ(damaged.meshobjlist.size(), 1u);
  EXPECT_TRUE(damaged.cameras.empty());
  ASSERT_EQ(damaged.lights.size(), 1u);
  EXPECT_EQ(damaged.lights[0].name, "Dim");
  EXPECT_EQ(damaged.lights[0].color[2], 0.2f);
  EXPECT_TRUE(damaged.lights[0].off && damaged.lights[0].attenuated);
  EXPECT_EQ(damaged.lights[0].outer_range, 50.0f);
  ASSERT_EQ(damaged.camera_light_warnings.size(), 2u);
  EXPECT_EQ(damaged.camera_light_warnings[0].rfind("camera 'Short' is left out: ", 0), 0u)
      << damaged.camera_light_warnings[0];
  EXPECT_EQ(damaged.camera_light_warnings[1].rfind("light 'Broken' is left out: ", 0), 0u);
}

}  // namespace
