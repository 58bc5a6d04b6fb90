// Helpers shared by the tests: temporary folders, files, BMF bytes taken
// apart and checked, conversions and commands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/bmf_reader.h"

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

using BmfFile = torvik::BmfFile;

// Takes BMF bytes apart with the library's reader; throws BmfFormatError
// when they end early and std::runtime_error naming the first rule of the
// layout they break (indices below V, every vertex used, first-use order,
// nothing after the last block, ...).
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

// Names that would take over a terminal if they reached it raw.  The first
// is valid UTF-8: ESC sequences that set the window's title and clear the
// screen, BEL, the 8-bit CSI as U+009B and a newline that forges a line of
// output.  The second is not UTF-8: ESC, the 8-bit CSI as the byte 0x9B,
// and 0xFF.
inline const std::string kTerminalEscapes =
    "\x1B]0;PWNED\x07\x1B[2J\xC2\x9B"
    "31m\nforged: line";
inline const std::string kNotUtf8 =
    "\x1B[1m\x9B"
    "7m\xFF";

// Where `output` first holds a byte that a terminal acts on rather than
// shows: a control character (but the newline that ends a line), DEL, a C1
// control character as a byte or as UTF-8, or a byte that is not part of
// UTF-8.  npos when there is none.
std::size_t FirstTerminalControl(const std::string& output);

// The JSON chunk of a binary glTF file, as text.
std::string GlbJsonText(const std::vector<std::uint8_t>& glb);

// `path` quoted for the shell, whatever bytes it holds.
std::string ShellQuoted(const std::string& path);

// Files of the real-world corpus, empty when the folder is absent.
std::vector<std::string> CorpusFiles();

}  // namespace testing_support
