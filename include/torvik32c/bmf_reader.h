// Reading BMF files back: the blocks as they are stored, and a check of every
// invariant the writer guarantees.
//
// The reader takes the bytes apart without judging them: a block whose
// indices reach past its vertex table, a strip flag other than 0 or bytes
// after the last block are kept as found, so that ValidateBmf can report
// each of them.  It throws only when the bytes end before a field they
// declare, since nothing after that point can be located.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"
#include "torvik32c/export.h"
#include "torvik32c/file_bytes.h"
#include "torvik32c/types.h"

namespace torvik {

// The BMF bytes are truncated: `byte_offset` is where the field that does
// not fit starts.  The message names the field and its block.
// An Error of kind damaged_file.
class TORVIK_API BmfFormatError : public Error {
 public:
  BmfFormatError(const std::string& message, std::int64_t at) : Error(Kind::damaged_file, message) {
    byte_offset = at;
  }
};

// One material block as stored.
struct BmfBlock {
  std::string name_field;  // the L bytes of the texture-name field, its zero byte included
  BMF_RGBCOLOR ambient{}, diffuse{}, specular{};
  std::vector<BMF_UNVERTEX> vertices;
  std::vector<BMF_SURFACE> triangles;

  // The texture name: the field's bytes before its first zero byte.
  TORVIK_API std::string TextureName() const;
};

struct BmfFile {
  std::uint16_t strip_flag = 0;
  std::vector<BmfBlock> blocks;
  std::size_t trailing_bytes = 0;  // bytes found after the last block
};

// Takes BMF bytes apart.  Throws BmfFormatError when they end early.
TORVIK_API BmfFile ReadBmf(std::span<const byte> bytes);

// Reads a BMF file (a stream as far as BmfStreamContent says).  Throws
// IoError naming the path when it can't be read, BmfFormatError when it is
// truncated.
TORVIK_API BmfFile ReadBmfFile(const std::string& path);

// How far a stream of a BMF file is read (ReadFileBytes): to the end of its
// last block, the bytes after it counted but not kept (they are
// BmfFile::trailing_bytes); a stream whose strip flag is not 0 is no BMF
// file, and ends at its 4-byte header.
TORVIK_API StreamContent BmfStreamContent();

// Where the fields of a block start, counted from the block's first byte.
struct BmfBlockLayout {
  std::size_t name = 2;  // the texture-name field; L stands before it at 0
  std::size_t colours = 0;
  std::size_t vertex_count = 0;
  std::size_t vertices = 0;
  std::size_t triangle_count = 0;
  std::size_t triangles = 0;
  std::size_t size = 0;  // the whole block

  TORVIK_API explicit BmfBlockLayout(const BmfBlock& block);
};

// The rules of the BMF layout.
enum class BmfRule {
  block_count,      // at most 65535 blocks
  strip_flag,       // the strip flag is 0
  name_length,      // 1 <= L <= 65535
  name_terminator,  // the texture name ends with its one zero byte, and has no other
  vertex_count,     // V <= 65535
  triangle_count,   // T <= 65535
  vertex_budget,    // V <= 3T
  index_range,      // every index below V
  first_use_order,  // vertices numbered in the order the triangles first use them
  unused_vertex,    // every stored vertex used by a triangle
  trailing_bytes,   // nothing after the last block
};

// One broken rule.
struct BmfViolation {
  BmfRule rule;
  std::int64_t byte_offset;  // where the offending field starts in the file
  std::int64_t block;        // its block, or -1 for the header and what follows the last block
  std::string message;
};

// Checks the file against every rule of the layout: a block count, texture
// name lengths and V and T within 16 bits, strip flag 0, texture names
// ending in their one zero byte, every index below V, every stored vertex
// used, vertices numbered in first-use order, V at most 3T, nothing after
// the last block.  Returns every violation in file order; none for a valid
// file.  Works on files built in memory as well as on files read.
TORVIK_API std::vector<BmfViolation> ValidateBmf(const BmfFile& file);

// "byte 1234, block 2: ..." for messages.
TORVIK_API std::string DescribeViolation(const BmfViolation& violation);

}  // namespace torvik
