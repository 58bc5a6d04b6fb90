// Calls on different threads are independent: eight threads converting
// different files at once, round after round, give exactly what the same
// calls give one by one.  Runs under ThreadSanitizer in the preset tsan.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

#include "robustness_support.h"
#include "shapes.h"
#include "torvik32c/bmf.h"

namespace robustness {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr std::size_t kThreads = 8;
constexpr std::size_t kRounds = 4;

struct Outcome {
  int result;
  std::string message;
  Bytes bmf;

  bool operator==(const Outcome&) const = default;
};

Outcome Convert(const std::string& src, const std::string& dest) {
  const EntryCall call = CallEntry(src, dest);
  return {call.result, call.message, ReadFile(dest)};
}

TEST(Threads, EightThreadsGiveTheOutputsOfSequentialRuns) {
  TempDir dir;
  std::vector<std::string> sources;
  for (const NamedInput& input : SmallInputs()) {
    sources.push_back(dir.file(input.name));
    WriteFile(sources.back(), input.bytes);
    Bytes cut = input.bytes;
    cut.resize(cut.size() / 2);
    sources.push_back(dir.file("cut-" + input.name));
    WriteFile(sources.back(), cut);
  }
  sources.push_back(dir.file("missing.3ds"));

  std::vector<Outcome> expected;
  for (std::size_t i = 0; i < sources.size(); ++i)
    expected.push_back(Convert(sources[i], dir.file("expected-" + std::to_string(i) + ".bmf")));

  for (std::size_t round = 0; round < kRounds; ++round) {
    std::vector<Outcome> outcomes(sources.size());
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        // Each thread starts at a different file and takes every eighth.
        for (std::size_t i = t; i < sources.size(); i += kThreads)
          outcomes[i] = Convert(sources[i], dir.file("thread-" + std::to_string(i) + ".bmf"));
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (std::size_t i = 0; i < sources.size(); ++i)
      EXPECT_TRUE(outcomes[i] == expected[i]) << sources[i] << " in round " << round;
  }
}

// One call may itself run its normal passes on several threads (on large
// models); under ThreadSanitizer this checks them for races.  The face
// normals go parallel from 400,000 triangles, the vertex normals from
// 200,000, the writer's from 200,000; a thread budget caps them all.
TEST(Threads, OneLargeConversionUsesSeveralThreadsSafely) {
  std::vector<t3ds::Mesh> tori;
  for (int i = 0; i < 4; ++i) {  // 125,000 faces each
    tori.push_back(t3ds::Torus("Ring" + std::to_string(i), 3, 1, 250, 250, {0, 0, 2.0f * i}));
    t3ds::AssignAll(tori.back(), "Brass");
  }
  const Bytes file =
      t3ds::BuildFile({{"Brass", {}, t3ds::Color{1, 1, 1}, {}, {}, false, ""}}, tori);
  torvik::H3dsScene scene = torvik::HRead3dsScene(file);
  torvik::Model model = torvik::convert_to_outgl(std::move(scene));
  ASSERT_GE(model.PolyList()[0].NumTriangles(), 400000u);
  const Bytes parallel = torvik::OutGLBMFBytes(model);
  model.OutGLFinishModel(1);
  EXPECT_TRUE(torvik::OutGLBMFBytes(model) == parallel);
  // A thread budget changes nothing but the speed.
  for (const std::size_t threads : {1, 3}) {
    const torvik::Model budgeted =
        torvik::convert_to_outgl(torvik::HRead3dsScene(file), nullptr, {.threads = threads});
    EXPECT_TRUE(torvik::OutGLBMFBytes(budgeted) == parallel) << threads << " threads";
  }
  // The writer encodes blocks on several threads and hands them on in file
  // order; a failure is reported for the first block that fails, whichever
  // thread met it first.
  for (const std::size_t threads : {1, 3}) {
    EXPECT_TRUE(torvik::OutGLBMFBytes(model, nullptr, {.triangle_order = {}, .threads = threads}) ==
                parallel)
        << threads << " writer threads";
    const torvik::BmfWriteOptions refused{
        .triangle_order =
            [](const torvik::BlockTriangles&) { return std::vector<std::uint32_t>{}; },
        .threads = threads};
    try {
      torvik::OutGLBMFBytes(model, nullptr, refused);
      ADD_FAILURE() << "a refused order was written";
    } catch (const torvik::Error& error) {
      EXPECT_NE(std::string(error.what()).find("for block 0 "), std::string::npos) << error.what();
    }
  }
  // Cancelled while the blocks are being encoded: the old file stays, and
  // no temporary file is left.
  TempDir dir;
  const std::string dest = dir.file("cancelled.bmf");
  WriteFile(dest, Bytes{1, 2, 3});
  std::atomic<bool> cancel{false};
  const torvik::BmfWriteOptions cancelling{
      .triangle_order =
          [&cancel](const torvik::BlockTriangles& block) {
            cancel = true;
            std::vector<std::uint32_t> order(block.corners.size() / 3);
            for (std::uint32_t t = 0; t < order.size(); ++t) order[t] = t;
            return order;
          },
      .threads = 3};
  EXPECT_THROW(torvik::OutGLBMF(model, dest, nullptr, &cancel, cancelling), torvik::Cancelled);
  EXPECT_TRUE(ReadFile(dest) == (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

// A large file's meshes are decoded on other threads while the chunks are
// walked: the scene is the same, and a damaged file reports the fault that
// comes first in the file, whichever thread met it.
TEST(Threads, ReaderDecodesMeshesAlongsideTheWalk) {
  std::vector<t3ds::Mesh> meshes;
  for (int i = 0; i < 6; ++i) {  // 64,000 faces and 32,000 vertices each
    meshes.push_back(t3ds::Torus("Ring" + std::to_string(i), 3, 1, 200, 160, {0, 0, 2.0f * i}));
    t3ds::AssignAll(meshes.back(), "Brass");
  }
  const t3ds::Material brass{"Brass", {}, t3ds::Color{1, 1, 1}, {}, {}, false, ""};
  const Bytes file = t3ds::BuildFile({brass}, meshes);
  const Bytes one_thread = torvik::OutGLBMFBytes(torvik::convert_to_outgl(
      torvik::HRead3dsScene(file, {.threads = 1}), nullptr, {.threads = 1}));
  EXPECT_TRUE(torvik::OutGLBMFBytes(torvik::convert_to_outgl(torvik::HRead3dsScene(file))) ==
              one_thread);

  // Decoded alongside the walk, every list is the one-thread reader's: the
  // exchanged corners of flag-7 faces (or not), the mappings and the
  // smoothing groups.
  std::vector<t3ds::Mesh> flagged = meshes;
  for (t3ds::Mesh& mesh : flagged) {
    for (std::size_t f = 0; f < mesh.faces.size(); f += 3) mesh.faces[f].flags = 7;
    mesh.smoothing.assign(mesh.faces.size(), 5);
    mesh.uvs.assign(mesh.vertices.size() / 2, {0.25f, 0.75f});
  }
  const Bytes flagged_file = t3ds::BuildFile({brass}, flagged);
  for (const bool keep : {false, true}) {
    const torvik::ReadOptions one{
        .smoothing_groups = true, .keep_file_winding = keep, .threads = 1};
    torvik::ReadOptions four = one;
    four.threads = 4;
    const torvik::H3dsScene expected = torvik::HRead3dsScene(flagged_file, one);
    const torvik::H3dsScene scene = torvik::HRead3dsScene(flagged_file, four);
    ASSERT_EQ(scene.meshobjlist.size(), expected.meshobjlist.size());
    for (std::size_t m = 0; m < scene.meshobjlist.size(); ++m) {
      const torvik::H3dsMeshObj& got = scene.meshobjlist[m];
      const torvik::H3dsMeshObj& want = expected.meshobjlist[m];
      auto faces = [](const torvik::H3dsMeshObj& mesh) {
        std::vector<torvik::uword> corners;
        for (const torvik::H3dsFace& face : mesh.facelist)
          corners.insert(corners.end(),
                         {face.p0, face.p1, face.p2, static_cast<torvik::uword>(face.flags)});
        return corners;
      };
      EXPECT_TRUE(faces(got) == faces(want)) << "mesh " << m << (keep ? ", file winding" : "");
      EXPECT_EQ(got.vertlist.size(), want.vertlist.size());
      EXPECT_EQ(std::memcmp(got.vertlist.data(), want.vertlist.data(),
                            got.vertlist.size() * sizeof(torvik::H3dsVert)),
                0);
      EXPECT_EQ(got.maplist.size(), want.maplist.size());
      EXPECT_TRUE(got.smoothing == want.smoothing);
      EXPECT_EQ(got.bindings.size(), want.bindings.size());
    }
  }

  // A face beyond its mesh's vertices in the second mesh, and a file cut
  // short in the last one.
  meshes[1].faces[7].c = 40000;
  Bytes damaged = t3ds::BuildFile({brass}, meshes);
  damaged.resize(damaged.size() - 100000);
  std::string first_fault;
  for (const std::size_t threads : {1, 2, 4}) {
    try {
      torvik::HRead3dsScene(damaged, {.threads = threads});
      ADD_FAILURE() << "a damaged file was read on " << threads << " threads";
    } catch (const torvik::ReadError& error) {
      if (first_fault.empty()) first_fault = error.what();
      EXPECT_EQ(error.what(), first_fault) << threads << " threads";
    }
  }
  EXPECT_NE(first_fault.find("mesh 'Ring1'"), std::string::npos) << first_fault;
}

}  // namespace
}  // namespace robustness
