// Helpers shared by the tests: temporary folders, files, and a small BMF
// reader that checks the layout's invariants.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"

namespace testing_support {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// A BMF file taken apart.
struct BmfBlock {
  std::string texture;
  torvik::BMF_RGBCOLOR ambient, diffuse, specular;
  std::vector<torvik::BMF_UNVERTEX> vertices;
  std::vector<torvik::BMF_SURFACE> triangles;
};
struct BmfFile {
  std::vector<BmfBlock> blocks;
};

// Parses BMF bytes; throws std::runtime_error naming the first violation of
// the layout or its invariants (indices below V, every vertex used, first-use
// order, nothing after the last block).
BmfFile ParseBmf(const std::vector<std::uint8_t>& bytes);

// The triangles of a block as the vertex records at their corners, each
// started at the corner whose record's bytes come first (so that a rotation
// of a triangle's corners compares equal, a change of winding does not), in
// sorted order: equal for two blocks that hold the same triangles in any
// order.
std::vector<std::string> TriangleRecords(const std::vector<torvik::BMF_UNVERTEX>& vertices,
                                         const std::vector<torvik::BMF_SURFACE>& triangles);

// Reads, converts and serialises 3DS bytes.
std::vector<std::uint8_t> Convert(const std::vector<std::uint8_t>& bytes3ds);
torvik::Model ConvertToModel(const std::vector<std::uint8_t>& bytes3ds);

// What a command printed and how it ended.
struct ToolRun {
  int status;  // exit status, or -1 when it did not exit normally
  std::string out, err;
};
// Runs `command` through the shell; standard error passes through a file in
// `dir`.
ToolRun RunCommand(const std::string& command, const TempDir& dir);

// Files of the real-world corpus, empty when the folder is absent.
std::vector<std::string> CorpusFiles();

}  // namespace testing_support
